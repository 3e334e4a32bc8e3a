// The computation's progress, as events: a pass begins, pass 1 reaches a
// lattice position, a later pass reaches a line, a share of the work is done.
// The computation formats nothing: the console program turns the events into
// its pass headings and progress lines, the batch and GIS programs into a
// percentage. A sink may also ask the computation to stop (a user's
// interrupt in the Python module).
#pragma once

#include <cstdint>

// The share of the whole computation done when pass 1 ends, and what each of
// passes 2 to 7 adds after it (0.7 + 6 x 0.05 = 1).
inline constexpr double kFirstPassShare = 0.7;
inline constexpr double kFillPassShare = 0.05;

// The steps of the computation, in their order.
enum class ChannelStep {
    boundary_marked,     // the lower boundary marked on its work grid
    distances_measured,  // both searches ready: their distances to the tone measured
    first_pass,          // pass 1 done
    fill_passes,         // passes 2 to 7 done
};

class ChannelProgress {
public:
    virtual ~ChannelProgress() = default;
    // Pass `pass` (1 to 7) begins; every pass begins, whatever the raster.
    virtual void pass_begun(int /*pass*/) {}
    // Pass 1 reached the lattice position at raster line `line`, column
    // `column` (counted from 0): every position it visits, channel pixel or
    // not, in the pass's order, before that pixel is computed.
    virtual void position_reached(int32_t /*line*/, int32_t /*column*/) {}
    // One of passes 2 to 7 reached raster line `line` (counted from 0): every
    // line it visits, in order, before any pixel of that line is computed.
    virtual void line_reached(int32_t /*line*/) {}
    // False: position_reached and line_reached are never called (a sink that
    // wants only the shares saves a call per position).
    virtual bool wants_positions() const { return false; }
    // The share of the work done, from 0 to 1, now and then.
    virtual void share_done(double /*share*/) {}
    // Each step as it ends (a benchmark times them).
    virtual void step_done(ChannelStep /*step*/) {}
    // True asks the computation to stop where it stands: it is asked after
    // each step, each block of pass 1 and each later pass, and compute_channel
    // then returns at once (ChannelReport::stopped). Once true, stays true.
    virtual bool stop_requested() { return false; }
};

// Wants nothing.
class SilentProgress final : public ChannelProgress {};
