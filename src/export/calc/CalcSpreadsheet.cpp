// SPDX-License-Identifier: GPL-3.0-or-later
// The spreadsheet application for real: LibreOffice Calc driven through its C++ UNO API.
//
// Built as a plugin so that Logora starts and calculates without LibreOffice installed.
// One private headless office serves the running program: started at the first export,
// ended when it fails (so a retry starts afresh) and when the program ends; a failure of
// the bill file itself leaves it running for the next export.
#include "export/BillLock.hpp"
#include "export/Spreadsheet.hpp"
#include "text/NumberText.hpp"
#include "ui/Folders.hpp"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/ustring.hxx>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace logora::exporting {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kProgramDir = "/usr/lib/libreoffice/program";
// The whole start and connect, a fresh profile's restart included: the office starts in
// about 2 s here, 5 s with a fresh profile.
constexpr std::chrono::seconds kStartTimeout{15};
constexpr std::chrono::seconds kCallTimeout{30};
// A viewer that fails does so at once; one that runs or hands the bill to a running
// office is fine.
constexpr std::chrono::milliseconds kShowCheck{400};

// sal_Unicode is a 16-bit code unit like char16_t, under another name.
OUString ou(std::u16string_view s) {
    return OUString(reinterpret_cast<const sal_Unicode*>(s.data()),
                    static_cast<sal_Int32>(s.size()));
}
OUString ou(const std::string& utf8) {
    return ou(text::fromUtf8(utf8));
}
std::u16string u16(const OUString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.getStr()),
                          static_cast<std::size_t>(s.getLength()));
}
std::u16string u16(const std::string& utf8) {
    return text::fromUtf8(utf8);
}
std::u16string u16(const fs::path& p) {
    return text::fromUtf8(p.string());
}

// Unguessable: no other user of the machine can squat the office's pipe beforehand.
std::string randomHex(std::size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    std::size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::getrandom(raw.data() + got, bytes - got, 0);
        if (n <= 0) {
            if (errno == EINTR) {
                continue;
            }
            throw ExportError(u"无法为 LibreOffice 生成连接名，账单没有导出。请再导出一次。",
                              u16(std::string("getrandom: ") + std::strerror(errno)));
        }
        got += static_cast<std::size_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : raw) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// Where the office's URP library puts a named pipe of this user.
fs::path pipePath(const std::string& name) {
    return fs::path("/tmp") / ("OSL_PIPE_" + std::to_string(::geteuid()) + "_" + name);
}

// A socket of this user's at that path: nobody else's listener is ever talked to.
bool ownSocket(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid();
}

void removeOwnSocket(const fs::path& path) {
    if (ownSocket(path)) {
        ::unlink(path.c_str());
    }
}

std::string userName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr) {
        return pw->pw_name;
    }
    return std::to_string(::geteuid());
}

// Kills a hung office: every call into it is made under an armed watchdog.
class Watchdog {
  public:
    Watchdog() : thread_([this] { run(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void arm(pid_t group, std::chrono::milliseconds timeout) {
        {
            std::lock_guard lock(mutex_);
            group_ = group;
            deadline_ = Clock::now() + timeout;
        }
        cv_.notify_all();
    }
    void disarm() {
        std::lock_guard lock(mutex_);
        deadline_.reset();
    }
    bool fired() const { return fired_; }
    void reset() { fired_ = false; }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (!deadline_) {
                cv_.wait(lock);
                continue;
            }
            if (cv_.wait_until(lock, *deadline_) == std::cv_status::timeout && deadline_ &&
                Clock::now() >= *deadline_) {
                deadline_.reset();
                fired_ = true;
                if (group_ > 0) {
                    ::kill(-group_, SIGKILL);
                }
            }
        }
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::optional<Clock::time_point> deadline_;
    pid_t group_ = -1;
    bool stop_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

class CalcSpreadsheet : public Spreadsheet {
  public:
    ~CalcSpreadsheet() override {
        if (preparing_.joinable()) {
            preparing_.join();
        }
        shutDown();
    }

    // Starts the office in the background, at low priority, without waiting for it: the
    // first export then usually finds it up.
    void prepare() override {
        if (office_ > 0 || preparing_.joinable()) {
            return;
        }
        try {
            launchOffice(true);
            launchedAt_ = Clock::now();
        } catch (const ExportError&) {
            return; // the export will start it, and say why it cannot
        }
        // The local UNO start and the connect take their time off the user-interface
        // thread; start() waits for them.
        preparing_ = std::thread([this] {
            try {
                ensureLocalContext();
                if (connect(launchedAt_ + kStartTimeout) == 0) {
                    recordPipes();
                    warmUp();
                }
            } catch (...) {
                // start() sees an office without a connection and starts it as usual
            }
        });
    }

    void start() override {
        if (preparing_.joinable()) {
            preparing_.join();
        }
        if (office_ > 0 && desktop_.is() && officeAlive() && answers()) {
            return;
        }
        const bool prepared = office_ > 0 && !desktop_.is() && officeAlive();
        if (!prepared) {
            abandon();
        }
        ensureLocalContext();
        // A prepared office gets the same time from its launch as one started now, and
        // never less than a moment to answer.
        const auto deadline =
            prepared ? std::max(launchedAt_ + kStartTimeout, Clock::now() + std::chrono::seconds(2))
                     : Clock::now() + kStartTimeout;
        for (int launch = 0;; ++launch) {
            if (!prepared || launch > 0) {
                launchOffice(false);
            }
            const int status = connect(deadline);
            if (status == 0) {
                recordPipes();
                return;
            }
            // A fresh profile makes the first start end with 81 ("restart me"); once.
            if (status == 81 && launch == 0) {
                forgetOffice();
                continue;
            }
            abandon();
            if (status == kTimedOut) {
                throw ExportError(u"LibreOffice Calc 在 " + text::intText(kStartTimeout.count()) +
                                      u" 秒内没有启动，账单没有导出。请稍等片刻，再导出一次。",
                                  u"office start timed out");
            }
            throw ExportError(u"LibreOffice Calc 无法启动，账单没有导出。"
                              u"请确认 LibreOffice Calc 能正常打开，再导出一次。",
                              u"soffice.bin exit status " + text::intText(status));
        }
    }

    void openWorkbook(const fs::path& path) override {
        path_ = path;
        if (::access(path.c_str(), R_OK | W_OK) != 0) {
            const int err = errno;
            throw ExportError(u"账单 " + u16(path) +
                                  u" 不能读写，这次没有导出。请让这个文件可读写，再导出一次。",
                              u16(std::string(std::strerror(err))), ExportError::Kind::Refused);
        }
        markOwnership(path);
        OUString url;
        if (osl::FileBase::getFileURLFromSystemPath(ou(path.string()), url) !=
            osl::FileBase::E_None) {
            throw ExportError(u"账单路径 " + u16(path) + u" 无效，这次没有导出。", {},
                              ExportError::Kind::Refused);
        }
        try {
            guarded([&] { document_ = loadHidden(url); });
        } catch (const DamagedBill& e) {
            throw damaged(u"已损坏，无法打开。", e.detail);
        }
        if (!document_.is()) {
            throw damaged(u"已损坏，无法打开。", u"loadComponentFromURL: no document");
        }
        if (!Reference<css::sheet::XSpreadsheetDocument>(document_, UNO_QUERY).is()) {
            throw damaged(u"已损坏，打开后不是表格。", u"not a spreadsheet document");
        }
    }

    void selectSheet(std::u16string_view name) override {
        bool found = false;
        guarded([&] {
            Reference<css::sheet::XSpreadsheetDocument> doc(document_, UNO_QUERY_THROW);
            Reference<css::container::XNameAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
            if (sheets->hasByName(ou(name))) {
                sheet_.set(sheets->getByName(ou(name)), UNO_QUERY_THROW);
                found = true;
            }
        });
        if (!found) {
            throw damaged(u"里没有工作表“" + std::u16string(name) +
                              u"”，它可能已损坏，或被换成了别的文件。",
                          u"no sheet " + std::u16string(name));
        }
    }

    void setCell(int row, int column, const CellValue& value) override {
        guarded([&] {
            Reference<css::table::XCell> cell = sheet_->getCellByPosition(column - 1, row - 1);
            switch (value.kind) {
            case CellValue::Kind::Empty:
                cell->setFormula(OUString());
                break;
            case CellValue::Kind::Number:
                cell->setValue(value.number);
                break;
            case CellValue::Kind::Text:
                // Through the cell's text, never as a formula: "=..." stays a text.
                Reference<css::text::XText>(cell, UNO_QUERY_THROW)->setString(ou(value.text));
                break;
            }
        });
    }

    void save() override {
        try {
            guarded([&] { Reference<css::frame::XStorable>(document_, UNO_QUERY_THROW)->store(); });
        } catch (const DamagedBill& e) {
            // The office could not write the file: say which of the two can be mended.
            const fs::path folder = path_.parent_path();
            std::u16string why;
            if (::access(folder.c_str(), W_OK) != 0) {
                why = u"：文件夹 " + u16(folder) +
                      u" 不可写，这次没有导出。请让这个文件夹可写，再导出一次。";
            } else if (::access(path_.c_str(), W_OK) != 0) {
                why = u"：文件是只读的，这次没有导出。请让这个文件可写，再导出一次。";
            } else {
                why = u"，这次没有导出。请确认磁盘没有写满，再导出一次。";
            }
            throw ExportError(u"账单 " + u16(path_) + u" 无法保存" + why, e.detail,
                              ExportError::Kind::Refused);
        }
    }

    void exportPdf(const fs::path& pdf) override {
        OUString url;
        if (osl::FileBase::getFileURLFromSystemPath(ou(pdf.string()), url) !=
            osl::FileBase::E_None) {
            throw ExportError(u"PDF 路径 " + u16(pdf) + u" 无效。", {}, ExportError::Kind::Refused);
        }
        try {
            guarded([&] {
                // Only the bill's own sheet, as it prints.
                css::uno::Sequence<css::beans::PropertyValue> filter(1);
                filter.getArray()[0].Name = "Selection";
                filter.getArray()[0].Value <<= sheet_;
                css::uno::Sequence<css::beans::PropertyValue> args(2);
                args.getArray()[0].Name = "FilterName";
                args.getArray()[0].Value <<= OUString("calc_pdf_Export");
                args.getArray()[1].Name = "FilterData";
                args.getArray()[1].Value <<= filter;
                Reference<css::frame::XStorable>(document_, UNO_QUERY_THROW)->storeToURL(url, args);
            });
        } catch (const DamagedBill& e) {
            throw ExportError(u"LibreOffice Calc 无法把账单存成 PDF。", e.detail,
                              ExportError::Kind::Refused);
        }
    }

    void closeAll() override {
        guarded([&] {
            sheet_.clear();
            if (document_.is()) {
                Reference<css::util::XCloseable>(document_, UNO_QUERY_THROW)->close(true);
            }
            document_.clear();
        });
        dropMark();
    }

    void showToUser(const fs::path& path) override {
        const std::string program = onPath("soffice");
        if (program.empty()) {
            throw ExportError(
                u"账单已保存在 " + u16(path) +
                    u"，但找不到 LibreOffice 来打开它。请在文件管理器里打开这个文件来打印。",
                u"soffice: not found on PATH", ExportError::Kind::Refused);
        }
        // The user's own office, so the bill joins an office already open and prints with the
        // user's settings; it outlives this program and is not waited for beyond a moment.
        const std::string file = path.string();
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::string_view(*e).rfind("URE_BOOTSTRAP=", 0) != 0) {
                env.emplace_back(*e);
            }
        }
        std::vector<char*> envp;
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        const char* argv[] = {program.c_str(), "--calc", file.c_str(), nullptr};
        const pid_t child = ::fork();
        if (child == 0) {
            ::setsid();
            const pid_t viewer = ::fork();
            if (viewer == 0) {
                quiet();
                ::execve(program.c_str(), const_cast<char* const*>(argv), envp.data());
                ::_exit(127);
            }
            // Reports a viewer that ends at once with a failure; one still running is fine.
            int status = 0;
            for (auto until = Clock::now() + kShowCheck; viewer > 0 && Clock::now() < until;) {
                if (::waitpid(viewer, &status, WNOHANG) == viewer) {
                    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 126);
                }
                ::usleep(20000);
            }
            ::_exit(viewer > 0 ? 0 : 126);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            throw ExportError(
                u"账单已保存在 " + u16(path) +
                    u"，但 LibreOffice 没能打开它。请在文件管理器里打开这个文件来打印。",
                u16(program) + u" exit status " +
                    text::intText(WIFEXITED(status) ? WEXITSTATUS(status) : -1),
                ExportError::Kind::Refused);
        }
    }

    void abandon() override {
        if (preparing_.joinable()) {
            preparing_.join();
        }
        watchdog_.disarm();
        try {
            sheet_.clear();
            document_.clear();
            desktop_.clear();
            remote_.clear();
        } catch (...) {
        }
        killOffice();
        dropMark();
    }

  private:
    static constexpr int kTimedOut = -2;

    // The office reported the call's own failure (a bad file, a refused write) rather than
    // failing itself: the office is still healthy.
    struct DamagedBill {
        std::u16string detail;
    };

    ExportError damaged(const std::u16string& what, const std::u16string& detail) const {
        return ExportError(u"账单文件 " + u16(path_) + what, detail, ExportError::Kind::Damaged);
    }

    template <typename F> void guarded(F&& call) {
        if (office_ <= 0) {
            throw ExportError(u"LibreOffice Calc 意外退出，账单 " + u16(path_) +
                              u" 没有保存。请再导出一次。");
        }
        watchdog_.reset();
        watchdog_.arm(office_, kCallTimeout);
        try {
            call();
        } catch (const css::uno::RuntimeException& e) {
            watchdog_.disarm();
            // The bridge is gone: the office died, or the watchdog ended it.
            throw ExportError((watchdog_.fired() ? u"LibreOffice Calc 没有响应，账单 "
                                                 : u"LibreOffice Calc 意外退出，账单 ") +
                                  u16(path_) + u" 没有保存。请再导出一次。",
                              u16(e.Message));
        } catch (const css::uno::Exception& e) {
            watchdog_.disarm();
            if (watchdog_.fired()) {
                throw ExportError(u"LibreOffice Calc 没有响应，账单 " + u16(path_) +
                                      u" 没有保存。请再导出一次。",
                                  u16(e.Message));
            }
            throw DamagedBill{u16(e.Message)};
        }
        watchdog_.disarm();
    }

    // Our own lock, in the office's format and naming our private profile, taken before the
    // office loads the bill: a kill during the load leaves a lock that the next export knows
    // for its own, and nobody else can take the bill meanwhile.
    void markOwnership(const fs::path& path) {
        const fs::path lock = lockFileOf(path);
        const std::string time = ui::localNow("%d.%m.%Y %H:%M"); // as the office writes it
        const std::string line = lockLine(
            {"", userName(), systemOfficeProbe().hostName(), time, "file://" + profile_.string()});
        const int fd =
            ::open(lock.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int err = errno;
            const std::u16string detail = u16(lock) + u": " + u16(std::string(std::strerror(err)));
            if (err == EEXIST) {
                throw ExportError(
                    u"账单 " + u16(path) +
                        u" 刚刚被另一个程序打开，这次没有导出。请先关闭它，再导出一次。",
                    detail, ExportError::Kind::Refused);
            }
            throw ExportError(u"账单 " + u16(path) + u" 无法保存：文件夹 " +
                                  u16(path.parent_path()) +
                                  u" 不可写，这次没有导出。请让这个文件夹可写，再导出一次。",
                              detail, ExportError::Kind::Refused);
        }
        const ssize_t written = ::write(fd, line.data(), line.size());
        ::close(fd);
        mark_ = lock;
        if (written != static_cast<ssize_t>(line.size())) {
            dropMark();
            throw ExportError(u"账单 " + u16(path) +
                                  u" 无法保存，这次没有导出。请确认磁盘没有写满，再导出一次。",
                              u16(lock) + u": short write", ExportError::Kind::Refused);
        }
    }

    // The office removes its lock when it closes the bill; what is left is ours to remove.
    void dropMark() {
        if (!mark_.empty()) {
            std::error_code ec;
            fs::remove(mark_, ec);
            mark_.clear();
        }
    }

    static std::string onPath(const std::string& program) {
        const char* path = std::getenv("PATH");
        std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
        while (true) {
            const std::size_t colon = dirs.find(':');
            const std::string dir(dirs.substr(0, colon));
            if (!dir.empty()) {
                const std::string candidate = dir + "/" + program;
                if (::access(candidate.c_str(), X_OK) == 0) {
                    return candidate;
                }
            }
            if (colon == std::string_view::npos) {
                return {};
            }
            dirs.remove_prefix(colon + 1);
        }
    }

    static void quiet() {
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
    }

    void ensureLocalContext() {
        if (local_.is()) {
            return;
        }
        ::setenv("URE_BOOTSTRAP",
                 "vnd.sun.star.pathname:/usr/lib/libreoffice/program/fundamentalrc", 1);
        try {
            local_ = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const css::uno::Exception& e) {
            throw ExportError(u"LibreOffice 的组件无法加载，账单没有导出。"
                              u"请重新安装 LibreOffice Calc，再导出一次。",
                              u16(e.Message), ExportError::Kind::Refused);
        }
    }

    // A profile that an earlier run left complete; a fresh profile costs the office a
    // restart and its first-time set-up, most of a cold export.
    static fs::path seedProfile() {
        return ui::xdgFolder("XDG_CACHE_HOME", ".cache") / "office-profile";
    }

    // The pipes an office of ours listens on, kept in its profile so that whoever finds the
    // profile of a dead office can remove them.
    static constexpr const char* kPipesFile = "logora-pipes";

    static void removeRecordedPipes(const fs::path& profile) {
        std::ifstream in(profile / kPipesFile);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("/tmp/OSL_PIPE_", 0) == 0) {
                removeOwnSocket(line);
            }
        }
    }

    // What earlier runs left when they were killed or crashed: the profiles (their folder
    // names carry the process id, which no longer runs) and the office's pipes.
    static void removeLeftovers() {
        std::error_code ec;
        const std::string pipePrefix = "OSL_PIPE_" + std::to_string(::geteuid()) + "_logora-";
        for (const auto& entry : fs::directory_iterator("/tmp", ec)) {
            const std::string name = entry.path().filename().string();
            const std::string profilePrefix(kPrivateProfilePrefix.substr(5));
            if (name.rfind(profilePrefix, 0) == 0) {
                const long pid = std::strtol(name.c_str() + profilePrefix.size(), nullptr, 10);
                struct stat st {};
                if (pid > 0 && !systemOfficeProbe().processRuns(pid) &&
                    ::lstat(entry.path().c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
                    st.st_uid == ::geteuid()) {
                    removeRecordedPipes(entry.path());
                    fs::remove_all(entry.path(), ec);
                }
            } else if (name.rfind(pipePrefix, 0) == 0) {
                const long pid = std::strtol(name.c_str() + pipePrefix.size(), nullptr, 10);
                if (pid > 0 && !systemOfficeProbe().processRuns(pid)) {
                    removeOwnSocket(entry.path());
                }
            }
        }
    }

    void launchOffice(bool background) {
        if (profile_.empty()) {
            removeLeftovers();
            std::string tmpl =
                std::string(kPrivateProfilePrefix) + std::to_string(::getpid()) + "-XXXXXX";
            if (::mkdtemp(tmpl.data()) == nullptr) {
                throw ExportError(u"无法为 LibreOffice 建立临时文件夹，账单没有导出。"
                                  u"请确认 /tmp 可写，再导出一次。",
                                  u16(std::string(std::strerror(errno))));
            }
            profile_ = tmpl;
            std::error_code ec;
            if (fs::is_directory(seedProfile() / "user", ec)) {
                fs::copy(seedProfile(), profile_, fs::copy_options::recursive, ec);
                seeded_ = !ec;
            }
        }
        do {
            pipe_ = "logora-" + std::to_string(::getpid()) + "-" + randomHex(16);
        } while (fs::exists(fs::symlink_status(pipePath(pipe_))));
        const std::string program = std::string(kProgramDir) + "/soffice.bin";
        const std::string accept =
            "--accept=pipe,name=" + pipe_ + ";urp;StarOffice.ComponentContext";
        const std::string profile = "-env:UserInstallation=file://" + profile_.string();
        const char* argv[] = {program.c_str(), "--headless",  "--invisible",   "--norestore",
                              "--nologo",      "--nodefault", "--nolockcheck", accept.c_str(),
                              profile.c_str(), nullptr};
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid < 0) {
            throw ExportError(u"LibreOffice Calc 无法启动，账单没有导出。请再导出一次。",
                              u16(std::string(std::strerror(errno))));
        }
        if (pid == 0) {
            ::setpgid(0, 0);
            if (background) {
                ::setpriority(PRIO_PROCESS, 0, 10); // never in the way of the user's typing
            }
            // The office never outlives the program, however the program ends.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) {
                ::_exit(1);
            }
            quiet();
            ::execv(argv[0], const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::setpgid(pid, pid);
        office_ = pid;
        pipes_ = {pipePath(pipe_)};
    }

    // 0 when connected; otherwise the office's exit status, or kTimedOut when the deadline
    // passed (the office is then ended). Only a socket of this user's is connected to.
    int connect(Clock::time_point deadline) {
        Reference<css::bridge::XUnoUrlResolver> resolver =
            css::bridge::UnoUrlResolver::create(local_);
        const OUString url = ou("uno:pipe,name=" + pipe_ + ";urp;StarOffice.ComponentContext");
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(office_, &status, WNOHANG) == office_) {
                office_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (ownSocket(pipePath(pipe_))) {
                try {
                    watchdog_.arm(office_, std::chrono::duration_cast<std::chrono::milliseconds>(
                                               deadline - Clock::now()) +
                                               std::chrono::milliseconds(1));
                    Reference<css::uno::XInterface> found = resolver->resolve(url);
                    watchdog_.disarm();
                    remote_.set(found, UNO_QUERY_THROW);
                    desktop_ = css::frame::Desktop::create(remote_);
                    return 0;
                } catch (const css::uno::Exception&) {
                    watchdog_.disarm();
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        return kTimedOut;
    }

    // Every listening socket of the office under /tmp, found through its open files.
    void recordPipes() {
        std::vector<std::string> inodes;
        std::error_code ec;
        for (const auto& fd :
             fs::directory_iterator("/proc/" + std::to_string(office_) + "/fd", ec)) {
            const std::string target = fs::read_symlink(fd.path(), ec).string();
            if (target.rfind("socket:[", 0) == 0) {
                inodes.push_back(target.substr(8, target.size() - 9));
            }
        }
        std::ifstream unix("/proc/net/unix");
        std::string line;
        std::getline(unix, line);
        while (std::getline(unix, line)) {
            // Num RefCount Protocol Flags Type St Inode Path
            std::istringstream fields(line);
            std::string skip, inode, path;
            for (int i = 0; i < 6; ++i) {
                fields >> skip;
            }
            fields >> inode >> path;
            if (path.rfind("/tmp/OSL_PIPE_", 0) == 0 &&
                std::find(inodes.begin(), inodes.end(), inode) != inodes.end() &&
                std::find(pipes_.begin(), pipes_.end(), fs::path(path)) == pipes_.end()) {
                pipes_.push_back(path);
            }
        }
        std::ofstream out(profile_ / kPipesFile, std::ios::trunc);
        for (const fs::path& p : pipes_) {
            out << p.string() << '\n';
        }
    }

    // A document in a hidden frame of the private office.
    Reference<css::lang::XComponent> loadHidden(const OUString& url) {
        css::uno::Sequence<css::beans::PropertyValue> args(1);
        args.getArray()[0].Name = "Hidden";
        args.getArray()[0].Value <<= true;
        Reference<css::frame::XComponentLoader> loader(desktop_, UNO_QUERY_THROW);
        return loader->loadComponentFromURL(url, "_blank", 0, args);
    }

    // An empty spreadsheet, opened and closed: the office loads its Calc module now rather
    // than at the first bill.
    void warmUp() {
        try {
            watchdog_.arm(office_, kCallTimeout);
            Reference<css::lang::XComponent> doc = loadHidden("private:factory/scalc");
            Reference<css::util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
        } catch (const css::uno::Exception&) {
        }
        watchdog_.disarm();
    }

    // The warm office may have been killed since the last export (by the user, by the
    // system): one cheap call tells, so the export starts a new one instead of failing.
    bool answers() {
        try {
            watchdog_.arm(office_, std::chrono::seconds(5));
            desktop_->getCurrentComponent();
            watchdog_.disarm();
            return true;
        } catch (const css::uno::Exception&) {
            watchdog_.disarm();
            return false;
        }
    }

    bool officeAlive() {
        int status = 0;
        return office_ > 0 && ::waitpid(office_, &status, WNOHANG) == 0;
    }

    // An office that ended by itself: its pipes are gone with it or are ours to remove.
    void forgetOffice() {
        office_ = -1;
        for (const fs::path& p : pipes_) {
            removeOwnSocket(p);
        }
        pipes_.clear();
    }

    void killOffice() {
        if (office_ > 0) {
            ::kill(-office_, SIGKILL);
            ::waitpid(office_, nullptr, 0);
        }
        forgetOffice();
        removeProfile();
    }

    void removeProfile() {
        if (!profile_.empty()) {
            std::error_code ec;
            fs::remove_all(profile_, ec);
            profile_.clear();
            seeded_ = false;
        }
    }

    // Keeps the profile of a cleanly ended office as the seed of later runs.
    void keepSeed() {
        std::error_code ec;
        if (seeded_ || profile_.empty() || fs::exists(seedProfile(), ec)) {
            return;
        }
        const fs::path staging = seedProfile().string() + ".new-" + std::to_string(::getpid());
        fs::create_directories(staging.parent_path(), ec);
        fs::copy(profile_, staging, fs::copy_options::recursive, ec);
        fs::remove(staging / kPipesFile, ec);
        if (ec || ::rename(staging.c_str(), seedProfile().c_str()) != 0) {
            fs::remove_all(staging, ec);
        }
    }

    void shutDown() {
        if (office_ > 0 && desktop_.is()) {
            try {
                if (document_.is()) {
                    closeAll();
                }
                watchdog_.arm(office_, std::chrono::seconds(5));
                desktop_->terminate();
            } catch (...) {
            }
            watchdog_.disarm();
            // A polite end first; whatever is left after a moment is killed.
            for (int i = 0; i < 50 && officeAlive(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (!officeAlive()) {
                ::waitpid(office_, nullptr, WNOHANG);
                forgetOffice();
                keepSeed();
            }
        }
        abandon();
    }

    Watchdog watchdog_;
    Reference<css::uno::XComponentContext> local_;
    Reference<css::uno::XComponentContext> remote_;
    Reference<css::frame::XDesktop2> desktop_;
    Reference<css::lang::XComponent> document_;
    Reference<css::sheet::XSpreadsheet> sheet_;
    pid_t office_ = -1;
    Clock::time_point launchedAt_{};
    std::thread preparing_;
    std::string pipe_;
    std::vector<fs::path> pipes_;
    fs::path profile_;
    fs::path path_;
    fs::path mark_;
    bool seeded_ = false;
};

} // namespace
} // namespace logora::exporting

extern "C" __attribute__((visibility("default"))) logora::exporting::Spreadsheet*
logora_calc_create() {
    return new logora::exporting::CalcSpreadsheet();
}
