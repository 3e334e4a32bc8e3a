#include "output_files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tool_error.hpp"

namespace fs = std::filesystem;

namespace {

// The temporary folders of unfinished outputs, where a signal handler can
// find them: fixed storage, a slot in use only once its path is complete.
constexpr int kSlots = 64;
struct Slot {
    volatile sig_atomic_t used = 0;
    char path[PATH_MAX] = {};
};
Slot slots[kSlots];

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Blocks the cleaned signals for its lifetime, so that a slot is never seen
// half-written and a folder is never made without being recorded.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int s : kCleanedSignals) sigaddset(&held, s);
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

// Removes a temporary folder and the files in it with system calls only, so
// that the signal handler may call it too.
void remove_folder(const char* path) {
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        alignas(dirent64) char buffer[4096];
        bool removed_any = true;
        while (removed_any) {  // read again from the start until nothing is left
            removed_any = false;
            lseek(fd, 0, SEEK_SET);
            for (;;) {
                const ssize_t got = getdents64(fd, buffer, sizeof buffer);
                if (got <= 0) break;
                for (ssize_t at = 0; at < got;) {
                    const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
                    at += entry->d_reclen;
                    const char* name = entry->d_name;
                    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
                    if (unlinkat(fd, name, 0) == 0) removed_any = true;
                }
            }
        }
        close(fd);
    }
    rmdir(path);
}

void on_signal(int number) {
    for (Slot& slot : slots)
        if (slot.used) remove_folder(slot.path);
    signal(number, SIG_DFL);
    raise(number);  // delivered, by default, once this handler returns
}

int record_folder(const std::string& path) {
    for (int k = 0; k < kSlots; ++k) {
        if (slots[k].used) continue;
        std::strncpy(slots[k].path, path.c_str(), sizeof slots[k].path - 1);
        slots[k].used = 1;
        return k;
    }
    return -1;
}

void forget_folder(const std::string& path) {
    for (Slot& slot : slots)
        if (slot.used && path == slot.path) slot.used = 0;
}

fs::path resolve_links(const std::string& target) {
    fs::path path = target;
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) return path;
        const fs::path next = fs::read_symlink(path, error);
        if (error) return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    throw ToolError("demasiados enlaces simbolicos en " + target);
}

bool move_file(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

}  // namespace

OutputSet::~OutputSet() {
    for (Entry& entry : entries_) {
        if (entry.done) continue;
        SignalsHeld held;
        remove_folder(entry.folder.c_str());
        forget_folder(entry.folder);
    }
}

void OutputSet::protect(const std::string& input) {
    struct stat status {};
    if (::stat(input.c_str(), &status) == 0) inputs_.push_back({input, {status.st_dev, status.st_ino}});
}

void OutputSet::protect(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) protect(input);
}

OutputFile OutputSet::add_file(const std::string& target) { return add(target, false); }
OutputFile OutputSet::add_dataset(const std::string& target) { return add(target, true); }

OutputFile OutputSet::add(const std::string& target, bool dataset) {
    if (target.empty() || target.back() == '/') throw ToolError("falta el nombre de archivo de la salida " + target);
    Entry entry;
    entry.target = target;
    entry.dataset = dataset;
    const fs::path resolved = resolve_links(target);
    entry.resolved = resolved.string();
    struct stat status {};
    if (::stat(entry.resolved.c_str(), &status) == 0) {
        for (const auto& [input, identity] : inputs_)
            if (identity.first == status.st_dev && identity.second == status.st_ino)
                throw ToolError("la salida " + target + " es tambien una entrada de la orden (" + input +
                                "): elija otro nombre");
        if (!S_ISREG(status.st_mode)) throw ToolError(target + " existe y no es un archivo normal");
        if (!overwrite_) throw ToolError("ya existe " + target + "; use --overwrite para reemplazarlo");
        entry.existed = true;
        entry.mode = status.st_mode & 07777;
    }
    for (const Entry& other : entries_)
        if (other.resolved == entry.resolved) throw ToolError("la salida " + target + " se pide dos veces");

    const fs::path folder = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
    std::error_code error;
    if (!fs::is_directory(folder, error))
        throw ToolError("no se puede escribir " + target + ": no existe la carpeta " + folder.string());
    std::string made = (folder / ".lorvantide-raster-XXXXXX").string();
    {
        SignalsHeld held;
        if (mkdtemp(made.data()) == nullptr)
            throw ToolError("no se puede escribir " + target + " (no se puede crear un temporal en " +
                            folder.string() + ")");
        if (record_folder(made) < 0) {
            remove_folder(made.c_str());
            throw ToolError("demasiadas salidas a la vez");
        }
    }
    entry.folder = made;
    entry.temporary = made + "/" + resolved.filename().string();
    entries_.push_back(entry);
    return {target, entry.temporary};
}

void OutputSet::commit() {
    for (Entry& entry : entries_) {
        if (entry.done) continue;
        const std::string failure = "no se puede escribir " + entry.target;
        std::error_code error;
        if (!fs::is_regular_file(entry.temporary, error))
            throw ToolError(failure + " (no se escribio ningun archivo con ese nombre)");
        if (entry.existed) ::chmod(entry.temporary.c_str(), entry.mode);
        if (!move_file(entry.temporary, entry.resolved)) throw ToolError(failure + " (no se puede poner en su sitio)");
        if (entry.dataset) {
            // The driver's own files beside the main one go along with it.
            const fs::path beside = fs::path(entry.resolved).parent_path();
            std::vector<std::string> names;
            for (const auto& file : fs::directory_iterator(entry.folder, error))
                names.push_back(file.path().filename().string());
            bool has_aux = false;
            for (const std::string& name : names) {
                has_aux = has_aux || name == fs::path(entry.resolved).filename().string() + ".aux.xml";
                if (!move_file(entry.folder + "/" + name, (beside / name).string()))
                    throw ToolError(failure + " (no se puede poner en su sitio " + name + ")");
            }
            // The auxiliary file of the file replaced described that one.
            if (entry.existed && !has_aux) fs::remove(entry.resolved + ".aux.xml", error);
        }
        SignalsHeld held;
        remove_folder(entry.folder.c_str());
        forget_folder(entry.folder);
        entry.done = true;
    }
}

void write_output_bytes(const OutputFile& output, const std::string& bytes) {
    std::FILE* f = std::fopen(output.temporary.c_str(), "wb");
    if (f == nullptr) throw ToolError("no se puede escribir " + output.target);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) throw ToolError("no se puede escribir " + output.target);
}

void install_signal_cleanup() {
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int s : kCleanedSignals) sigaddset(&action.sa_mask, s);
    for (int s : kCleanedSignals) {
        struct sigaction previous {};
        if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}
