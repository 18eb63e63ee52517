#include "faults/child_runner.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace holmtex::test {

namespace {

std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    return out;
}

// Under AddressSanitizer its run-time library must come before any other preloaded one;
// this program has it loaded already when it was built with it.
std::string preloadList() {
    std::string list = HOLMTEX_FAULT_LIBRARY;
    Dl_info info{};
    if (void* asan = dlsym(RTLD_DEFAULT, "__asan_init");
        asan && dladdr(asan, &info) && info.dli_fname && std::strstr(info.dli_fname, "asan"))
        list = std::string(info.dli_fname) + ":" + list;
    return list;
}

}  // namespace

const std::string& ChildRun::field(const std::string& name) const {
    static const std::string none;
    const auto found = shown.find(name);
    return found == shown.end() ? none : found->second;
}

Outcome ChildRun::outcome() const {
    Outcome o;
    int op = 0, result = 0, reason = 0, step = 0;
    std::istringstream in(field("outcome"));
    in >> op >> result >> reason >> o.line >> o.count >> step;
    o.operation = static_cast<Operation>(op);
    o.result = static_cast<Result>(result);
    o.reason = static_cast<Reason>(reason);
    o.found.leftStep = static_cast<redo::Step>(step);
    std::getline(in >> std::ws, o.file);
    return o;
}

ChildRun runChild(const std::filesystem::path& folder, const std::string& list, int line,
                  const std::string& operation, const ChildOptions& options) {
    static const std::string preload = preloadList();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "HOLMTEX_FAULT_", 14) != 0 && std::strncmp(*e, "LD_PRELOAD=", 11) != 0)
            env.push_back(*e);
    env.push_back("LD_PRELOAD=" + preload);
    env.push_back("HOLMTEX_FAULT_DIR=" + folder.string());
    env.push_back("HOLMTEX_FAULT_WAIT=1");
    env.insert(env.end(), options.faults.begin(), options.faults.end());
    std::vector<std::string> args = {HOLMTEX_FAULT_CHILD, folder.string(), list,
                                     std::to_string(line), operation};
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    for (auto& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    ChildRun run;
    int fds[2];
    // Close-on-exec, so a child started at the same time from another thread does not
    // hold this pipe open. posix_spawn: a fork of this big program would cost far more.
    if (::pipe2(fds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (!options.errors.empty())
        posix_spawn_file_actions_addopen(&actions, 2, options.errors.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return run;
    }
    // krumo-34 holds the pipe too, so its end is awaited here as well.
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string l = out.substr(at, end - at);
        if (l == "go") {
            run.reachedOperation = true;
            continue;
        }
        const std::size_t eq = l.find('=');
        if (eq == std::string::npos) continue;
        const std::string name = l.substr(0, eq), value = unescaped(l.substr(eq + 1));
        if (name == "box")
            run.boxes.push_back(value);
        else if (name == "micros")
            run.micros = std::atol(value.c_str());
        else
            run.shown[name] = value;
    }
    return run;
}

}  // namespace holmtex::test
