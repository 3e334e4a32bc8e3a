// lorvantide._channel: compute_channel on numpy arrays, behind
// lorvantide.channel (lorvantide/_grids.py checks every argument and says in
// English what is wrong; what memory safety rests on is checked here again).
//
// The arrays are read where they lie: a 2-D array whose columns are
// contiguous is a grid of row pointers as it is, whatever its row stride, so
// nothing is copied. The GIL is released from the elevations' allocation to
// the last rounded pixel; a KeyboardInterrupt (or any exception a signal
// handler raises) stops the computation between two of its blocks.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

#include "compute/channel.hpp"
#include "files/rounding.hpp"
#include "parallel/band_threads.hpp"
#include "python/interruption.hpp"

namespace py = pybind11;

namespace {

// The rows of a 2-D array of T with contiguous columns, as a grid view.
template <typename T>
class ArrayRows {
public:
    ArrayRows(const py::array& array, const py::array& like) {
        const bool shaped = array.ndim() == 2 && array.shape(0) == like.shape(0) && array.shape(1) == like.shape(1);
        if (!shaped || !array.dtype().is(py::dtype::of<T>()) ||
            (array.shape(1) > 1 && array.strides(1) != static_cast<py::ssize_t>(sizeof(T))))
            throw std::invalid_argument("lorvantide._channel takes the arrays lorvantide.channel checked");
        const auto* first = static_cast<const char*>(array.data());
        for (py::ssize_t i = 0; i < array.shape(0); ++i)
            rows_.push_back(reinterpret_cast<const T*>(first + i * array.strides(0)));
        lines_ = static_cast<int32_t>(array.shape(0));
        columns_ = static_cast<int32_t>(array.shape(1));
    }
    GridView<const T> view() const { return {rows_.data(), lines_, columns_}; }

private:
    std::vector<const T*> rows_;
    int32_t lines_ = 0;
    int32_t columns_ = 0;
};

// The computation's progress, reduced to what the module needs: the share
// done, and a stop when Python has an exception to raise.
class InterruptibleProgress final : public ChannelProgress {
public:
    explicit InterruptibleProgress(PythonInterruption& interruption) : interruption_(interruption) {}
    void share_done(double share) override { share_ = share; }
    bool stop_requested() override { return interruption_.check(share_); }

private:
    PythonInterruption& interruption_;
    double share_ = 0.0;
};

struct ResultFacts {
    int64_t channel_pixels = 0;
    int32_t minimum = kResultMinimumStart;
    int32_t maximum = kResultMaximumStart;
};

// The elevations rounded as the console program writes its result, line by
// line into `out`, with the extremes its descriptor gives and the pixels of
// the zone tone counted.
ResultFacts round_result(const Elevations& elevations, GridView<const unsigned char> zone, Tone zone_tone,
                         int32_t* out, int32_t threads) {
    ResultFacts facts;
    std::mutex merge;
    const int32_t columns = zone.columns();
    split_in_bands(zone.lines(), threads, [&](int64_t first, int64_t end) {
        ResultFacts band;
        for (int64_t i = first; i < end; ++i) {
            round_result_line(elevations.line(i), 0, columns, out + i * columns, band.minimum, band.maximum);
            const unsigned char* mask = zone[i];
            band.channel_pixels += std::count_if(mask, mask + columns, [&](unsigned char pixel) { return zone_tone.marks(pixel); });
        }
        const std::lock_guard<std::mutex> lock(merge);
        facts.channel_pixels += band.channel_pixels;
        facts.minimum = std::min(facts.minimum, band.minimum);
        facts.maximum = std::max(facts.maximum, band.maximum);
    });
    return facts;
}

py::tuple channel(const py::array& slope, const py::array& railing, const py::array& zone, const py::array& contour,
                  const py::object& perimeter, const ChannelParameters& parameters, int32_t threads) {
    const ArrayRows<int32_t> slope_rows(slope, slope);
    const ArrayRows<unsigned char> railing_rows(railing, slope);
    const ArrayRows<unsigned char> zone_rows(zone, slope);
    const ArrayRows<unsigned char> contour_rows(contour, slope);
    std::optional<ArrayRows<unsigned char>> perimeter_rows;
    if (parameters.water_bodies) perimeter_rows.emplace(perimeter.cast<py::array>(), slope);
    const ChannelInputs inputs{slope_rows.view(), railing_rows.view(), zone_rows.view(), contour_rows.view(),
                               perimeter_rows ? perimeter_rows->view() : GridView<const unsigned char>()};
    const int32_t lines = inputs.slope.lines();
    const int32_t columns = inputs.slope.columns();
    if (threads < 1) threads = threads_from_environment();

    py::array_t<int32_t> result({static_cast<py::ssize_t>(lines), static_cast<py::ssize_t>(columns)});
    int32_t* const out = result.mutable_data();
    PythonInterruption interruption{py::none()};
    ChannelReport report;
    ResultFacts facts;
    {
        py::gil_scoped_release released;
        const ChannelWindow window = ChannelWindow::whole(lines, columns);
        Elevations elevations = channel_elevations(inputs, parameters.zone_tone, window);
        InterruptibleProgress progress(interruption);
        report = compute_channel(inputs, parameters, window, elevations, progress, threads);
        if (report.computed) facts = round_result(elevations, inputs.zone, Tone(parameters.zone_tone), out, threads);
    }
    interruption.raise_if_stopped();
    if (!report.computed) throw std::bad_alloc();
    return py::make_tuple(result, facts.channel_pixels, facts.minimum, facts.maximum, report.contour_misses,
                          report.boundary_misses);
}

}  // namespace

PYBIND11_MODULE(_channel, module) {
    module.doc() = "The channel computation on numpy arrays; use lorvantide.channel.";
    py::class_<ChannelParameters>(module, "Parameters")
        .def(py::init<>())
        .def_readwrite("zone_tone", &ChannelParameters::zone_tone)
        .def_readwrite("railing_tone", &ChannelParameters::railing_tone)
        .def_readwrite("contour_tone", &ChannelParameters::contour_tone)
        .def_readwrite("perimeter_tone", &ChannelParameters::perimeter_tone)
        .def_readwrite("railing_height", &ChannelParameters::railing_height)
        .def_readwrite("contour_altitude", &ChannelParameters::contour_altitude)
        .def_readwrite("water_bodies", &ChannelParameters::water_bodies);
    module.def("channel", &channel, py::arg("slope"), py::arg("railing"), py::arg("zone"), py::arg("contour"),
               py::arg("perimeter"), py::arg("parameters"), py::arg("threads"),
               "(elevations, channel pixels, minimum, maximum, contour misses, boundary misses)");
}
