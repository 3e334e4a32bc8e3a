#include "stages.hpp"

Outcome lecture(Run&, Console&) { return Outcome::go_on; }
