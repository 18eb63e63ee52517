// A working folder kept in step by a real sync engine: two Syncthing instances on this
// computer share it, each side saves a page while the folder is paused, the engine makes a
// conflict copy, and the merge brings both pages into the list on both sides.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "record/list_append.h"
#include "record/list_files.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Local addresses only: no discovery, relays, NAT, usage reports or crash reports. The folder
// is scanned when the test asks, or when the engine itself resumes or pulls. The blanks to
// fill in are marked with @, which no device ID holds ("…-PPYKEYB-…" may).
constexpr std::string_view kConfig = R"(<configuration version="36">
<folder id="holmtex" path="@FOLDER@" type="sendreceive" rescanIntervalS="3600"
 fsWatcherEnabled="false"><device id="@SELF@"></device><device id="@OTHER@"></device>
 <maxConflicts>10</maxConflicts></folder>
<device id="@SELF@" name="@SELF@"><address>dynamic</address></device>
<device id="@OTHER@" name="@OTHER@"><address>tcp://127.0.0.1:@REMOTE@</address></device>
<gui enabled="true" tls="false"><address>127.0.0.1:@GUI@</address><apikey>@KEY@</apikey></gui>
<options><listenAddress>tcp://127.0.0.1:@LISTEN@</listenAddress>
 <globalAnnounceEnabled>false</globalAnnounceEnabled>
 <localAnnounceEnabled>false</localAnnounceEnabled><relaysEnabled>false</relaysEnabled>
 <natEnabled>false</natEnabled><urAccepted>-1</urAccepted><startBrowser>false</startBrowser>
 <crashReportingEnabled>false</crashReportingEnabled>
 <reconnectionIntervalS>2</reconnectionIntervalS></options></configuration>
)";

sockaddr_in loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

// A port nobody listens on. Its socket stays bound until releasePorts(), so that no two
// calls give the same port.
std::vector<int> heldPorts;
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = loopback(0);
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

template <typename Condition>
bool waitFor(Condition condition, std::chrono::seconds timeout) {
    for (const auto end = std::chrono::steady_clock::now() + timeout;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(250ms);
    }
}

// One Syncthing instance with a home folder of its own, steered through its REST API.
class Engine {
public:
    Engine(const fs::path& root, const std::string& name)
        : home(root / (name + "-home")), folder(root / name) {
        fs::create_directories(folder / ".stfolder");
        const std::string made = test::runCommand(
            "syncthing generate --no-default-folder "
            "--skip-port-probing --home='" +
            home.string() + "' 2>&1");
        if (const auto at = made.find("Device ID: "); at != std::string::npos)
            id = made.substr(at + 11, 63);
    }
    ~Engine() { stop(); }

    void configure(const Engine& other) {
        std::string config(kConfig);
        const std::pair<std::string, std::string> values[] = {
            {"@FOLDER@", folder.string()},
            {"@SELF@", id},
            {"@OTHER@", other.id},
            {"@REMOTE@", std::to_string(other.listen)},
            {"@GUI@", std::to_string(gui)},
            {"@KEY@", key},
            {"@LISTEN@", std::to_string(listen)}};
        for (const auto& [name, value] : values)
            for (std::size_t at; (at = config.find(name)) != std::string::npos;)
                config.replace(at, name.size(), value);
        test::writeFile(home / "config.xml", config);
    }

    void start() {
        pid = ::fork();
        if (pid != 0) return;
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // also when the test itself is killed
        std::freopen((home / "syncthing.log").c_str(), "w", stdout);
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
        if (!waitFor([&] { return ::waitpid(pid, nullptr, WNOHANG) == pid; }, 10s))
            ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
        pid = -1;
    }

    // The body of the answer without its blanks, so that "\"state\":\"idle\"" can be looked
    // for; none when the call failed.
    std::optional<std::string> call(const std::string& request, const std::string& body = "") {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const timeval timeout{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const sockaddr_in addr = loopback(gui);
        std::string answer;
        const std::string sent = request + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(gui) +
                                 "\r\nX-API-Key: " + key +
                                 "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                 body;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
            ::send(fd, sent.data(), sent.size(), MSG_NOSIGNAL) == ssize_t(sent.size())) {
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                answer.append(buffer, n);
        }
        ::close(fd);
        if (answer.size() < 13 || answer.substr(8, 5) != " 200 ") return std::nullopt;
        answer.erase(0, answer.find("\r\n\r\n"));
        std::erase_if(answer, [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
        return answer;
    }
    bool pause(bool paused) {
        return call("PATCH /rest/config/folders/holmtex",
                    paused ? "{\"paused\":true}" : "{\"paused\":false}")
            .has_value();
    }
    // Scanned, nothing to fetch, and the other side has everything.
    bool idleWith(const Engine& other) {
        const std::string status = call("GET /rest/db/status?folder=holmtex").value_or("");
        const std::string done =
            call("GET /rest/db/completion?folder=holmtex&device=" + other.id).value_or("");
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
    ASSERT_TRUE(appendRecords(a.folder / "holmtex-aktuell.dat", recordBytes(test::namedPage("1")),
                              "2612071010")
                    .ok());
    releasePorts();
    a.start();
    b.start();
    const auto inStep = [&] { return a.list() == b.list() && a.idleWith(b) && b.idleWith(a); };
    ASSERT_TRUE(waitFor(inStep, 90s))
        << "the first page did not reach the second folder" << a.log() << b.log();

    ASSERT_TRUE(a.pause(true) && b.pause(true));
    ASSERT_TRUE(appendRecords(a.folder / "holmtex-aktuell.dat", recordBytes(test::namedPage("A")),
                              "2612071010")
                    .ok());
    ASSERT_TRUE(appendRecords(b.folder / "holmtex-aktuell.dat", recordBytes(test::namedPage("B")),
                              "2612071010")
                    .ok());
    ASSERT_TRUE(a.pause(false) && b.pause(false));
    ASSERT_TRUE(waitFor(
        [&] {
            return !a.conflictCopies().empty() && a.conflictCopies() == b.conflictCopies() &&
                   inStep();
        },
        120s))
        << "the engine made no conflict copy on both sides" << a.log() << b.log();

    // The merge as zusammenführen! makes it: the copy goes into the history.
    ListFiles lists(a.folder);
    const Outcome merged = lists.merge(ListKind::Aktuell);
    EXPECT_EQ(merged.result, Result::Done);
    EXPECT_EQ(merged.count, 1);
    ASSERT_TRUE(a.call("POST /rest/db/scan?folder=holmtex"));
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
