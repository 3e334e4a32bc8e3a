#include "windows/processes.hpp"

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#ifdef LORVANTIDE_WITH_MPI
#include <mpi.h>
#endif

namespace {

#ifdef LORVANTIDE_WITH_MPI
constexpr int kToFirst = 1;  // tag of the messages to rank 0
constexpr int kAnswer = 2;   // tag of rank 0's answers

// Launchers tell their processes so in the environment; a program started
// on its own stays a single process and never loads MPI's run-time machinery.
bool started_by_a_launcher() {
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"})
        if (std::getenv(name) != nullptr) return true;
    return false;
}

// Waits for a request, sleeping between polls.
void finish(MPI_Request& request) {
    Backoff backoff;
    int done = 0;
    for (MPI_Test(&request, &done, MPI_STATUS_IGNORE); !done; MPI_Test(&request, &done, MPI_STATUS_IGNORE))
        backoff.pause();
}
#endif

}  // namespace

void Backoff::pause() {
    std::this_thread::sleep_for(std::chrono::microseconds(micros_));
    if (micros_ < 2000) micros_ *= 2;
}

#ifdef LORVANTIDE_WITH_MPI

struct Processes::Pending {
    MPI_Request incoming = MPI_REQUEST_NULL;  // rank 0: the next message to it
    Message message{};
    MPI_Request answer = MPI_REQUEST_NULL;  // other ranks: the answer awaited
    int64_t value = 0;
};

Processes::Processes(int& argc, char**& argv) {
    if (!started_by_a_launcher()) return;
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    joined_ = true;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
    MPI_Comm machine;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rank_, MPI_INFO_NULL, &machine);
    MPI_Comm_size(machine, &local_);
    MPI_Comm_free(&machine);
    pending_ = new Pending;
}

Processes::~Processes() {
    if (!joined_) return;
    stop_listening();
    delete pending_;
    MPI_Finalize();
}

bool Processes::all(bool ok) {
    if (!joined_) return ok;
    int mine = ok ? 1 : 0;
    int every = 0;
    MPI_Request request;
    MPI_Iallreduce(&mine, &every, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD, &request);
    finish(request);
    return every == 1;
}

bool Processes::first_says(bool ok) {
    if (!joined_) return ok;
    int flag = ok ? 1 : 0;
    MPI_Request request;
    MPI_Ibcast(&flag, 1, MPI_INT, 0, MPI_COMM_WORLD, &request);
    finish(request);
    return flag == 1;
}

std::string Processes::from_first(const std::string& text) {
    if (!joined_) return text;
    int64_t length = static_cast<int64_t>(text.size());
    MPI_Request request;
    MPI_Ibcast(&length, 1, MPI_INT64_T, 0, MPI_COMM_WORLD, &request);
    finish(request);
    std::vector<char> bytes(text.begin(), text.end());
    bytes.resize(static_cast<std::size_t>(length));
    if (length > 0) {
        MPI_Ibcast(bytes.data(), static_cast<int>(length), MPI_CHAR, 0, MPI_COMM_WORLD, &request);
        finish(request);
    }
    return std::string(bytes.begin(), bytes.end());
}

CoreTotals Processes::gather(const CoreTotals& mine) {
    if (!joined_) return mine;
    wait_for_all();  // the reductions below then find every process there
    CoreTotals all = mine;
    int32_t lows[2] = {mine.min, mine.channel_low};
    int32_t highs[2] = {mine.max, mine.channel_high};
    int64_t counts[4] = {mine.contour_misses, mine.boundary_misses, mine.channel_pixels, mine.widened_tiles};
    int32_t low[2] = {};
    int32_t high[2] = {};
    int64_t sums[4] = {};
    MPI_Reduce(lows, low, 2, MPI_INT32_T, MPI_MIN, 0, MPI_COMM_WORLD);
    MPI_Reduce(highs, high, 2, MPI_INT32_T, MPI_MAX, 0, MPI_COMM_WORLD);
    MPI_Reduce(counts, sums, 4, MPI_INT64_T, MPI_SUM, 0, MPI_COMM_WORLD);
    if (first()) {
        all.min = low[0];
        all.channel_low = low[1];
        all.max = high[0];
        all.channel_high = high[1];
        all.contour_misses = sums[0];
        all.boundary_misses = sums[1];
        all.channel_pixels = sums[2];
        all.widened_tiles = sums[3];
    }
    return all;
}

void Processes::wait_for_all() {
    if (!joined_) return;
    MPI_Request request;
    MPI_Ibarrier(MPI_COMM_WORLD, &request);
    finish(request);
}

void Processes::send_to_first(const Message& message) {
    MPI_Send(message.data(), static_cast<int>(message.size()), MPI_INT64_T, 0, kToFirst, MPI_COMM_WORLD);
}

bool Processes::received(Message& message, int& from) {
    if (pending_->incoming == MPI_REQUEST_NULL)
        MPI_Irecv(pending_->message.data(), static_cast<int>(pending_->message.size()), MPI_INT64_T, MPI_ANY_SOURCE,
                  kToFirst, MPI_COMM_WORLD, &pending_->incoming);
    int done = 0;
    MPI_Status status;
    MPI_Test(&pending_->incoming, &done, &status);
    if (!done) return false;
    message = pending_->message;
    from = status.MPI_SOURCE;
    return true;  // MPI_Test has set the request to MPI_REQUEST_NULL: the next call posts another
}

void Processes::answer(int to, int64_t value) { MPI_Send(&value, 1, MPI_INT64_T, to, kAnswer, MPI_COMM_WORLD); }

void Processes::await_answer() {
    MPI_Irecv(&pending_->value, 1, MPI_INT64_T, 0, kAnswer, MPI_COMM_WORLD, &pending_->answer);
}

bool Processes::answered(int64_t& value) {
    int done = 0;
    MPI_Test(&pending_->answer, &done, MPI_STATUS_IGNORE);
    if (done) value = pending_->value;
    return done != 0;
}

void Processes::stop_listening() {
    if (pending_ == nullptr || pending_->incoming == MPI_REQUEST_NULL) return;
    MPI_Cancel(&pending_->incoming);
    MPI_Wait(&pending_->incoming, MPI_STATUS_IGNORE);
}

#else  // a build without MPI: always one process

struct Processes::Pending {};

Processes::Processes(int&, char**&) {}
Processes::~Processes() = default;
bool Processes::all(bool ok) { return ok; }
bool Processes::first_says(bool ok) { return ok; }
std::string Processes::from_first(const std::string& text) { return text; }
CoreTotals Processes::gather(const CoreTotals& mine) { return mine; }
void Processes::wait_for_all() {}
void Processes::send_to_first(const Message&) {}
bool Processes::received(Message&, int&) { return false; }
void Processes::answer(int, int64_t) {}
void Processes::await_answer() {}
bool Processes::answered(int64_t&) { return false; }
void Processes::stop_listening() {}

#endif
