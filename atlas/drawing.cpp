// The drawing loop. SIGINT, SIGTERM, SIGHUP and SIGCHLD are blocked and
// taken with sigtimedwait, so the loop itself decides when to start, reap or
// stop a picture, and wakes once a second for the progress line. Each mural
// runs in a process group of its own with the signals at their defaults:
// Ctrl-C reaches only the atlas, which hands the signal on to every running
// picture once; mural then removes its temporary files and ends, and the
// atlas removes the scratch folder of each picture it stopped.
#include "atlas/drawing.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "atlas/records.h"
#include "platform/files.h"

extern char** environ;

namespace atlas {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// How long stopped pictures get to remove their temporary files.
constexpr double kStopGraceSeconds = 10.0;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

std::string minutes_seconds(double s) {
    const long total = static_cast<long>(s + 0.5);
    char text[32];
    if (total >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string last_line(const std::string& text) {
    std::size_t end = text.find_last_not_of(" \t\r\n");
    if (end == std::string::npos) return {};
    std::size_t start = text.find_last_of('\n', end);
    start = start == std::string::npos ? 0 : start + 1;
    std::string line = text.substr(start, end - start + 1);
    line.erase(0, line.find_first_not_of(" \t"));
    return line;
}

std::string host_name() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "host";
    std::string host = name;
    for (char& c : host)
        if (c == '/' || c == '.') c = '-';
    return host;
}

// Scratch folders left by an atlas on this machine that no longer runs (one
// killed outright) are removed; those of other machines are theirs.
void remove_stale_scratch(const std::string& tmp, const std::string& host) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(tmp, ec)) {
        const std::string name = entry.path().filename().string();
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string owner = name.substr(0, dot);
        if (!owner.ends_with("." + host)) continue;
        const pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + dot + 1));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), ec);
    }
}

struct Job {
    const Picture* picture = nullptr;
    std::string reason;
    pid_t pid = -1;
    std::string scratch;
    Clock::time_point start;
    std::vector<std::pair<std::string, FileStamp>> inputs;
};

class Progress {
public:
    explicit Progress(int total) : total_(total), tty_(::isatty(STDOUT_FILENO) != 0), start_(Clock::now()) {}

    void finished(const Job& job, bool ok, const std::string& message, double seconds) {
        ++(ok ? drawn_ : failed_);
        std::string text;
        if (ok) {
            if (tty_) return redraw();
            char took[32];
            std::snprintf(took, sizeof took, "%.1f s", seconds);
            text = job.picture->name + " gezeichnet (" + job.reason + ", " + took + ")";
        } else {
            text = job.picture->name + " FEHLGESCHLAGEN (Zeile " + std::to_string(job.picture->line) + "): " + message;
        }
        if (tty_) {
            std::cout << "\r\033[K" << text << "\n";
            redraw();
        } else {
            std::cout << "[" << drawn_ + failed_ << "/" << total_ << "] " << text << " | " << counts() << std::endl;
        }
    }

    void tick() {
        if (tty_) redraw();
    }

    void close() {
        if (tty_ && shown_) std::cout << "\r\033[K" << std::flush;
    }

private:
    std::string counts() const {
        const int done = drawn_ + failed_;
        const double elapsed = seconds_since(start_);
        std::string text = std::to_string(drawn_) + " fertig, " + std::to_string(failed_) + " fehlgeschlagen, " +
                           std::to_string(total_ - done) + " offen, " + minutes_seconds(elapsed) + " vergangen, Ende ";
        if (done == 0) return text + "gegen ?";
        if (done == total_) return text + "jetzt";
        const double left = elapsed / done * (total_ - done);
        return text + "gegen " + clock_time(left) + " (noch " + minutes_seconds(left) + ")";
    }

    void redraw() {
        shown_ = true;
        std::cout << "\r\033[K[" << drawn_ + failed_ << "/" << total_ << "] " << counts() << std::flush;
    }

    int total_;
    bool tty_;
    Clock::time_point start_;
    int drawn_ = 0, failed_ = 0;
    bool shown_ = false;
};

class Drawing {
public:
    explicit Drawing(const DrawSettings& settings) : s_(settings), host_(host_name()) {}

    DrawOutcome run(const std::vector<const Picture*>& pictures) {
        const auto start = Clock::now();
        tmp_ = s_.dir + "/.mural-atlas/tmp";
        std::error_code ec;
        fs::create_directories(tmp_, ec);
        if (ec) {
            std::cerr << "mural-atlas: Ordner " << tmp_ << " nicht anlegbar: " << ec.message() << "\n";
            for (const Picture* p : pictures) out_.failures.push_back({p, "Ordner " + tmp_ + " nicht anlegbar"});
            return out_;
        }
        remove_stale_scratch(tmp_, host_);

        Stamps stamps;
        std::vector<Job> waiting;
        for (const Picture* p : pictures) {
            std::string reason = s_.all ? "--all" : redraw_reason(*p, read_record(record_path(s_.dir, p->name)), stamps, s_.dir);
            if (reason.empty()) {
                ++out_.unchanged;
                continue;
            }
            Job job;
            job.picture = p;
            job.reason = reason;
            // The inputs as they are before the picture is drawn: a change while
            // it is drawn redraws it next time.
            for (const std::string& input : p->inputs) job.inputs.emplace_back(input, stamps.current(input));
            waiting.push_back(std::move(job));
        }
        std::cout << "mural-atlas: " << pictures.size() << " Bilder, " << waiting.size() << " zu zeichnen, "
                  << out_.unchanged << " unverändert";
        if (!waiting.empty()) std::cout << "; " << std::min<std::size_t>(waiting.size(), s_.jobs) << " gleichzeitig";
        std::cout << std::endl;
        if (!waiting.empty()) loop(waiting);
        out_.seconds = seconds_since(start);
        return out_;
    }

private:
    void loop(std::vector<Job>& waiting) {
        sigset_t blocked, previous;
        sigemptyset(&blocked);
        for (int sig : kStopSignals) sigaddset(&blocked, sig);
        sigaddset(&blocked, SIGCHLD);
        ::sigprocmask(SIG_BLOCK, &blocked, &previous);

        Progress progress(static_cast<int>(waiting.size()));
        std::size_t next = 0;
        std::vector<Job> running;
        Clock::time_point stop_deadline;
        while (true) {
            while (!out_.signal && running.size() < static_cast<std::size_t>(s_.jobs) && next < waiting.size()) {
                Job& job = waiting[next++];
                if (start(job)) running.push_back(std::move(job));
                else progress.finished(job, false, out_.failures.back().message, 0.0);
            }
            if (running.empty()) break;

            timespec wait{1, 0};
            siginfo_t info{};
            const int sig = ::sigtimedwait(&blocked, &info, &wait);
            if (sig == SIGINT || sig == SIGTERM || sig == SIGHUP) {
                if (!out_.signal) {
                    out_.signal = sig;
                    stop_deadline = Clock::now() + std::chrono::milliseconds(static_cast<int>(kStopGraceSeconds * 1000));
                    for (const Job& job : running) ::kill(job.pid, sig);
                } else {
                    // A second Ctrl-C does not wait.
                    for (const Job& job : running) ::kill(job.pid, SIGKILL);
                }
            }
            if (out_.signal && Clock::now() > stop_deadline)
                for (const Job& job : running) ::kill(job.pid, SIGKILL);

            for (;;) {
                int status = 0;
                const pid_t pid = ::waitpid(-1, &status, WNOHANG);
                if (pid <= 0) break;
                auto it = std::find_if(running.begin(), running.end(), [pid](const Job& j) { return j.pid == pid; });
                if (it == running.end()) continue;
                Job job = std::move(*it);
                running.erase(it);
                finish(job, status, progress);
            }
            progress.tick();
        }
        progress.close();
        out_.not_started = static_cast<int>(waiting.size() - next);
        // A Ctrl-C after the last picture ended still counts; it is taken here
        // rather than left pending, which would end the atlas before its page.
        sigset_t stops;
        sigemptyset(&stops);
        for (int sig : kStopSignals) sigaddset(&stops, sig);
        const timespec none{0, 0};
        const int late = ::sigtimedwait(&stops, nullptr, &none);
        if (!out_.signal && late > 0) out_.signal = late;
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    }

    bool start(Job& job) {
        const Picture& p = *job.picture;
        job.scratch = tmp_ + "/" + p.name + "." + host_ + "." + std::to_string(::getpid());
        std::error_code ec;
        fs::remove_all(job.scratch, ec);
        fs::create_directory(job.scratch, ec);
        const std::string answers = job.scratch + "/answers";
        const std::string log = job.scratch + "/" + p.name + ".log";
        const std::string errors = job.scratch + "/stderr";
        const std::string plot = job.scratch + "/" + p.name + ".plt";

        std::vector<std::string> args = {s_.mural, p.run->path};
        for (const std::string& o : p.options) args.push_back(o);
        args.push_back("/p=" + plot);
        args.push_back("/g=" + p.formats);
        {
            std::ofstream a(answers, std::ios::binary);
            a << p.answers;
            std::ofstream l(log, std::ios::binary);
            l << "mural-atlas: " << s_.list << ", Zeile " << p.line << ": " << p.line_text << "\n";
            l << "mural-atlas: mural " << p.run->path;
            for (const std::string& o : p.options) l << " " << o;
            l << " /p=" << p.name << ".plt /g=" << p.formats << "\n";
            // The answers up to the last one given; an empty line keeps a default.
            std::vector<std::string> given;
            std::istringstream lines(p.answers);
            for (std::string answer; std::getline(lines, answer);) given.push_back(answer.empty() ? "(Enter)" : answer);
            while (!given.empty() && given.back() == "(Enter)") given.pop_back();
            l << "mural-atlas: Antworten:";
            for (const std::string& answer : given) l << " " << answer << " |";
            l << " dann Enter bei jeder weiteren Frage\n\n";
            if (!a || !l) {
                fs::remove_all(job.scratch, ec);
                out_.failures.push_back({&p, "Ordner " + job.scratch + " nicht beschreibbar"});
                return false;
            }
        }

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, answers.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_APPEND, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        // Stop signals the atlas was started to ignore (nohup) stay ignored;
        // SIGPIPE, which the atlas itself ignores, does not.
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            struct sigaction current {};
            if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
            sigaddset(&defaults, sig);
        }
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGCHLD);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = ::posix_spawn(&job.pid, s_.mural.c_str(), &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        if (rc != 0) {
            fs::remove_all(job.scratch, ec);
            out_.failures.push_back({&p, "mural nicht startbar (" + s_.mural + "): " + std::strerror(rc)});
            return false;
        }
        job.start = Clock::now();
        return true;
    }

    void finish(Job& job, int status, Progress& progress) {
        const Picture& p = *job.picture;
        const double seconds = seconds_since(job.start);
        const bool normal = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::error_code ec;
        if (out_.signal && !normal) {
            ++out_.stopped;
            fs::remove_all(job.scratch, ec);
            return;
        }
        const std::string log = job.scratch + "/" + p.name + ".log";
        const std::string errors = read_all(job.scratch + "/stderr");
        {
            std::ofstream l(log, std::ios::binary | std::ios::app);
            l << errors;
        }
        std::vector<std::string> outputs = {p.name + ".plt"};
        std::istringstream formats(p.formats);
        for (std::string f; std::getline(formats, f, ',');) outputs.push_back(p.name + "." + f);
        outputs.push_back(p.name + ".log");

        std::string message;
        if (!normal) {
            message = last_line(errors);
            if (message.empty()) message = last_line(read_all(log));
            if (WIFSIGNALED(status))
                message = "mural durch Signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) +
                          ") beendet" + (message.empty() ? "" : "; zuletzt: " + message);
            else if (message.empty())
                message = "mural endete mit Status " + std::to_string(WEXITSTATUS(status));
        } else {
            for (const std::string& o : outputs)
                if (!regular_file(job.scratch + "/" + o)) {
                    message = o + " nicht geschrieben; zuletzt: " + last_line(read_all(log));
                    break;
                }
        }
        if (message.empty()) {
            // The plot last: its presence with the record marks a complete picture.
            for (std::size_t k = 1; k <= outputs.size() && message.empty(); ++k) {
                const std::string& o = outputs[k % outputs.size()];
                fs::rename(job.scratch + "/" + o, s_.dir + "/" + o, ec);
                if (ec) message = o + " nicht nach " + s_.dir + " zu bringen: " + ec.message();
            }
        } else {
            fs::rename(log, s_.dir + "/" + p.name + ".log", ec);
        }
        fs::remove_all(job.scratch, ec);

        Record r;
        r.ok = message.empty();
        r.line = p.line;
        r.definition = p.definition;
        r.message = message;
        r.finished = date_time();
        r.seconds = seconds;
        r.inputs = job.inputs;
        if (r.ok) r.outputs = outputs;
        if (!write_record(record_path(s_.dir, p.name), r) && r.ok)
            message = "Vermerk " + record_path(s_.dir, p.name) + " nicht schreibbar";
        if (message.empty()) ++out_.drawn;
        else out_.failures.push_back({&p, message});
        progress.finished(job, message.empty(), message, seconds);
    }

    const DrawSettings& s_;
    std::string host_;
    std::string tmp_;
    DrawOutcome out_;
};

}  // namespace

std::string clock_time(double seconds_from_now) {
    const std::time_t t = std::time(nullptr) + static_cast<std::time_t>(seconds_from_now + 0.5);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string date_time() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

DrawOutcome draw_pictures(const std::vector<const Picture*>& pictures, const DrawSettings& settings) {
    return Drawing(settings).run(pictures);
}

}  // namespace atlas
