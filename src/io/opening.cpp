#include "stages.hpp"

Outcome opening(Run&, Console&) { return Outcome::go_on; }
