// A working folder kept in step by a real sync engine: two Syncthing instances on this
// computer share it, each side saves a page while the folder is paused, the engine makes a
// conflict copy, and the merge brings both pages into the list on both sides.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "record/list_append.h"
#include "record/list_merge.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kFolderId = "holmtex";

// A port nobody listens on. Its socket stays bound until releasePorts(), so that no two
// calls give the same port.
std::vector<int> heldPorts;
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
    heldPorts.push_back(fd);
    return ntohs(addr.sin_port);
}
void releasePorts() {
    for (int fd : heldPorts) ::close(fd);
    heldPorts.clear();
}

// The body of a REST answer without its blanks, so that a test can look for
// "\"state\":\"idle\""; none when it failed.
std::optional<std::string> rest(int port, const std::string& key, const std::string& call,
                                const std::string& body = "") {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request =
            call + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) +
            "\r\nX-API-Key: " + key +
            "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + body;
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                answer.append(buffer, n);
        }
    }
    ::close(fd);
    if (!answer.starts_with("HTTP/1.1 200") && !answer.starts_with("HTTP/1.0 200"))
        return std::nullopt;
    answer.erase(0, answer.find("\r\n\r\n"));
    std::erase_if(answer, [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; });
    return answer;
}

template <typename Condition>
bool waitFor(Condition condition, std::chrono::seconds timeout) {
    for (const auto end = std::chrono::steady_clock::now() + timeout;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(250ms);
    }
}

// One Syncthing instance with a home folder of its own, reached on local addresses only.
class Engine {
public:
    Engine(const fs::path& root, const std::string& name)
        : home(root / (name + "-home")), folder(root / name) {
        fs::create_directories(folder / ".stfolder");
        const std::string made = test::runCommand(
            "syncthing generate --no-default-folder "
            "--skip-port-probing --home='" +
            home.string() + "' 2>&1");
        const auto at = made.find("Device ID: ");
        if (at != std::string::npos) id = made.substr(at + 11, 63);
    }
    ~Engine() { stop(); }

    void configure(const Engine& other) {
        const auto device = [](const Engine& e, const std::string& address) {
            return "<device id=\"" + e.id + "\" name=\"" + e.folder.filename().string() +
                   "\" compression=\"metadata\"><address>" + address + "</address></device>";
        };
        std::ofstream(home / "config.xml")
            << "<configuration version=\"36\">\n<folder id=\"" << kFolderId << "\" path=\""
            << folder.string()
            << "\" type=\"sendreceive\" rescanIntervalS=\"3600\" fsWatcherEnabled=\"false\">"
            << "<device id=\"" << id << "\"></device><device id=\"" << other.id
            << "\"></device><maxConflicts>10</maxConflicts><paused>false</paused>"
            << "<minDiskFree unit=\"%\">0</minDiskFree></folder>\n"
            << device(*this, "dynamic")
            << device(other, "tcp://127.0.0.1:" + std::to_string(other.listen))
            << "\n<gui enabled=\"true\" tls=\"false\"><address>127.0.0.1:" << gui
            << "</address><apikey>" << key << "</apikey></gui>\n<options><listenAddress>tcp://"
            << "127.0.0.1:" << listen << "</listenAddress><globalAnnounceEnabled>false"
            << "</globalAnnounceEnabled><localAnnounceEnabled>false</localAnnounceEnabled>"
            << "<relaysEnabled>false</relaysEnabled><natEnabled>false</natEnabled>"
            << "<urAccepted>-1</urAccepted><startBrowser>false</startBrowser>"
            << "<autoUpgradeIntervalH>0</autoUpgradeIntervalH><crashReportingEnabled>false"
            << "</crashReportingEnabled><reconnectionIntervalS>2</reconnectionIntervalS>"
            << "</options>\n</configuration>\n";
    }

    void start() {
        pid = ::fork();
        if (pid != 0) return;
        const std::string log = (home / "syncthing.log").string();
        std::freopen(log.c_str(), "w", stdout);
        ::dup2(::fileno(stdout), 2);
        ::setenv("STNODEFAULTFOLDER", "1", 1);
        const std::string homeOption = "--home=" + home.string();
        ::execlp("syncthing", "syncthing", "serve", homeOption.c_str(), "--no-browser",
                 "--no-restart", "--no-upgrade", static_cast<char*>(nullptr));
        ::_exit(127);
    }

    void stop() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        const bool ended = waitFor([&] { return ::waitpid(pid, nullptr, WNOHANG) == pid; }, 10s);
        if (!ended) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
        pid = -1;
    }

    std::optional<std::string> call(const std::string& request,
                                    const std::string& body = "") const {
        return rest(gui, key, request, body);
    }
    bool pause(bool paused) const {
        return call(std::string("PATCH /rest/config/folders/") + kFolderId,
                    paused ? "{\"paused\":true}" : "{\"paused\":false}")
            .has_value();
    }
    // Scanned, nothing to fetch, and the other side has everything.
    bool idleWith(const Engine& other) const {
        const std::string status =
            call(std::string("GET /rest/db/status?folder=") + kFolderId).value_or("");
        const std::string done =
            call(std::string("GET /rest/db/completion?folder=") + kFolderId + "&device=" + other.id)
                .value_or("");
        return status.find("\"state\":\"idle\"") != std::string::npos &&
               status.find("\"needTotalItems\":0,") != std::string::npos &&
               done.find("\"completion\":100") != std::string::npos;
    }
    std::vector<std::string> conflictCopies() const {
        std::vector<std::string> names;
        for (const ConflictCopy& copy : findConflictCopies(folder).copies)
            names.push_back(copy.name);
        return names;
    }
    // The end of the engine's log, for a failure message.
    std::string log() const {
        const std::string all = test::readFile(home / "syncthing.log");
        return "\n--- " + folder.filename().string() + ":\n" +
               all.substr(all.size() - std::min<std::size_t>(all.size(), 3000));
    }
    std::string list() const { return test::readFile(folder / "holmtex-aktuell.dat"); }

    fs::path home, folder;
    std::string id, key = "holmtex-test-key";
    int gui = freePort(), listen = freePort();
    pid_t pid = -1;
};

TEST(SyncEngine, BothSidesEndWithBothPagesAndNoConflictCopy) {
    if (!test::toolInstalled("syncthing"))
        GTEST_SKIP() << "syncthing is not installed (apt-get install syncthing); the test with "
                        "a real sync engine is skipped";
    test::TempDir root;
    Engine a(root.path(), "a"), b(root.path(), "b");
    ASSERT_EQ(a.id.size(), 63u) << "syncthing generate gave no device ID";
    ASSERT_EQ(b.id.size(), 63u) << "syncthing generate gave no device ID";
    a.configure(b);
    b.configure(a);
    ASSERT_TRUE(appendRecords(a.folder / "holmtex-aktuell.dat", recordBytes(test::namedPage("1"))));
    releasePorts();
    a.start();
    b.start();
    const auto inStep = [&] { return a.list() == b.list() && a.idleWith(b) && b.idleWith(a); };
    ASSERT_TRUE(waitFor(inStep, 90s))
        << "the first page did not reach the second folder" << a.log() << b.log();

    ASSERT_TRUE(a.pause(true) && b.pause(true));
    ASSERT_TRUE(appendRecords(a.folder / "holmtex-aktuell.dat", recordBytes(test::namedPage("A"))));
    ASSERT_TRUE(appendRecords(b.folder / "holmtex-aktuell.dat", recordBytes(test::namedPage("B"))));
    ASSERT_TRUE(a.pause(false) && b.pause(false));
    ASSERT_TRUE(waitFor(
        [&] {
            return !a.conflictCopies().empty() && a.conflictCopies() == b.conflictCopies() &&
                   inStep();
        },
        120s))
        << "the engine made no conflict copy on both sides" << a.log() << b.log();

    const auto copies = findConflictCopies(a.folder).of(ListKind::Aktuell);
    const MergeOutcome merged =
        performMerge(a.folder, planMerge(a.folder, ListKind::Aktuell, copies), "2612071010");
    EXPECT_TRUE(merged.complete());
    EXPECT_EQ(merged.appended, 1u);
    ASSERT_TRUE(a.call(std::string("POST /rest/db/scan?folder=") + kFolderId));
    ASSERT_TRUE(waitFor(
        [&] { return a.conflictCopies().empty() && b.conflictCopies().empty() && inStep(); }, 120s))
        << "the merged list did not reach the second folder" << a.log() << b.log();
    std::vector<std::string> numbers;
    for (const PageRecord& page : test::readRecords(b.folder / "holmtex-aktuell.dat"))
        numbers.emplace_back(page.text(ProcessNumber));
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<std::string>{"1", "A", "B"}));
}

}  // namespace
}  // namespace holmtex
