// Progress of the batch commands (lorvantide-tiles, lorvantide-raster) in
// GDAL's own style, "0...10...20...30...40...50...60...70...80...90...100 -
// done.", one mark for every 2.5 percent. The command decides whether it is
// shown (standard error a terminal, and no -q).
#pragma once

#include <cstdio>

// Someone besides the line who follows the share done (the Python module's
// callback) and may ask the command to stop.
class ProgressListener {
public:
    virtual ~ProgressListener() = default;
    // The share done, 0 to 1; false asks the command to stop.
    virtual bool share_done(double share) = 0;
};

class ProgressLine {
public:
    ProgressLine(std::FILE* out, bool shown) : out_(out), shown_(shown) {}
    // Every update also goes to `listener` (which outlives the line) until it
    // asks to stop; from then on stop_requested() is true.
    void listen(ProgressListener* listener) { listener_ = listener; }
    bool stop_requested() const { return stopped_; }
    // The share done, 0 to 1 (clamped); it never goes back. Reaching 1 prints
    // " - done." and the line end.
    void update(double share);
    // A sub-range of the whole, so a command of several steps prints one line.
    void update(double share, double from, double to) { update(from + (to - from) * share); }
    bool shown() const { return shown_; }
    // Before another message goes to the same terminal: a line begun is
    // ended, and drawn again from its start by the next update, so the
    // message never lands inside it.
    void interrupt();

private:
    std::FILE* out_;
    bool shown_;
    int last_mark_ = -1;
    bool redraw_ = false;
    ProgressListener* listener_ = nullptr;
    bool stopped_ = false;
};
