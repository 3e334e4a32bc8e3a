#include "python/interruption.hpp"

#include <algorithm>
#include <cmath>

namespace py = pybind11;

PythonInterruption::PythonInterruption(py::object callback) : callback_(std::move(callback)) {}

bool PythonInterruption::check(double share) {
    if (error_) return true;
    const auto now = std::chrono::steady_clock::now();
    const bool advanced = std::floor(share * 100.0) > std::floor(visited_share_ * 100.0);
    if (visited_ && !advanced && now - last_visit_ < kInterval) return false;
    visited_ = true;
    visited_share_ = std::max(visited_share_, share);
    last_visit_ = now;
    py::gil_scoped_acquire gil;
    try {
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        if (!callback_.is_none() && share > reported_) {
            reported_ = share;
            callback_(share);
        }
    } catch (py::error_already_set& error) {
        error_ = std::move(error);
    }
    return error_.has_value();
}

void PythonInterruption::raise_if_stopped() {
    if (error_) throw *error_;
}
