// The spreadsheet application for real: LibreOffice Calc driven through its C++ UNO API.
//
// Built as a plugin so that Logora starts and calculates without LibreOffice installed.
// One private headless office serves the running program: started at the first export,
// ended when an export fails (so a retry starts afresh) and when the program ends.
#include "export/Spreadsheet.hpp"
#include "text/NumberText.hpp"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/ustring.hxx>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sys/prctl.h>
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
constexpr std::chrono::seconds kStartTimeout{45};
constexpr std::chrono::seconds kCallTimeout{30};

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
    void arm(pid_t group, std::chrono::seconds timeout) {
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
    ~CalcSpreadsheet() override { shutDown(); }

    void start() override {
        if (office_ > 0 && desktop_.is() && officeAlive()) {
            return;
        }
        abandon();
        ensureLocalContext();
        for (int launch = 0;; ++launch) {
            launchOffice();
            const int status = connect();
            if (status == 0) {
                return;
            }
            // A fresh profile makes the first start end with 81 ("restart me"); once.
            if (status == 81 && launch == 0) {
                office_ = -1;
                continue;
            }
            abandon();
            throw ExportError(u"LibreOffice Calc 无法启动。");
        }
    }

    void openWorkbook(const fs::path& path) override {
        path_ = path;
        lockCreated_ = false;
        const fs::path lock = lockFileOf(path);
        if (fs::exists(lock)) {
            throw ExportError(u"账单 " + u16(path.string()) + u" 正在被" + lockOwner(lock) +
                              u"打开。请先关闭它，再导出。");
        }
        OUString url;
        if (osl::FileBase::getFileURLFromSystemPath(ou(path.string()), url) !=
            osl::FileBase::E_None) {
            throw ExportError(u"账单路径无效：" + u16(path.string()));
        }
        guarded([&] {
            css::uno::Sequence<css::beans::PropertyValue> args(1);
            args.getArray()[0].Name = "Hidden";
            args.getArray()[0].Value <<= true;
            Reference<css::frame::XComponentLoader> loader(desktop_, UNO_QUERY_THROW);
            document_ = loader->loadComponentFromURL(url, "_blank", 0, args);
        });
        lockCreated_ = fs::exists(lock);
        if (!document_.is()) {
            throw ExportError(u"无法打开账单 " + u16(path.string()) +
                              u"：文件可能正被其他程序使用或已损坏。");
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
            throw ExportError(u"账单 " + u16(path_.string()) + u" 里没有工作表“" +
                              std::u16string(name) + u"”。");
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
        guarded([&] { Reference<css::frame::XStorable>(document_, UNO_QUERY_THROW)->store(); });
    }

    void closeAll() override {
        guarded([&] {
            sheet_.clear();
            if (document_.is()) {
                Reference<css::util::XCloseable>(document_, UNO_QUERY_THROW)->close(true);
            }
            document_.clear();
        });
        lockCreated_ = false;
    }

    void showToUser(const fs::path& path) override {
        const char* candidates[] = {"/usr/bin/soffice", "/usr/bin/libreoffice",
                                    "/usr/lib/libreoffice/program/soffice"};
        const char* program = nullptr;
        for (const char* c : candidates) {
            if (::access(c, X_OK) == 0) {
                program = c;
                break;
            }
        }
        if (program == nullptr) {
            throw ExportError(u"账单已保存在 " + u16(path.string()) +
                              u"，但找不到 LibreOffice 来打开它。");
        }
        // The user's own office, so the bill joins an office already open and prints with the
        // user's settings; it outlives this program and is not waited for.
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
        const char* argv[] = {program, "--calc", file.c_str(), nullptr};
        const pid_t child = ::fork();
        if (child == 0) {
            ::setsid();
            if (::fork() == 0) {
                quiet();
                ::execve(program, const_cast<char* const*>(argv), envp.data());
            }
            ::_exit(0);
        }
        if (child > 0) {
            ::waitpid(child, nullptr, 0);
        }
    }

    void abandon() override {
        watchdog_.disarm();
        try {
            sheet_.clear();
            document_.clear();
            desktop_.clear();
            remote_.clear();
        } catch (...) {
        }
        killOffice();
        if (lockCreated_) {
            std::error_code ec;
            fs::remove(lockFileOf(path_), ec);
            lockCreated_ = false;
        }
    }

  private:
    template <typename F> void guarded(F&& call) {
        if (office_ <= 0) {
            throw ExportError(u"LibreOffice Calc 没有启动。");
        }
        watchdog_.reset();
        watchdog_.arm(office_, kCallTimeout);
        try {
            call();
        } catch (const css::uno::Exception& e) {
            watchdog_.disarm();
            if (watchdog_.fired()) {
                throw ExportError(u"LibreOffice Calc 没有响应。");
            }
            throw ExportError(u"LibreOffice Calc 报告错误：" + u16(e.Message));
        }
        watchdog_.disarm();
    }

    static fs::path lockFileOf(const fs::path& path) {
        return path.parent_path() / (".~lock." + path.filename().string() + "#");
    }

    // The lock names who holds the file: "user,host,..."; the host stands in for a user
    // without a name.
    static std::u16string lockOwner(const fs::path& lock) {
        std::ifstream in(lock);
        std::string line;
        std::getline(in, line);
        std::vector<std::string> fields;
        std::string field;
        for (char c : line) {
            if (c == ',') {
                fields.push_back(field);
                field.clear();
            } else {
                field.push_back(c);
            }
        }
        fields.push_back(field);
        for (std::size_t i = 0; i < 2 && i < fields.size(); ++i) {
            if (!fields[i].empty()) {
                return u" " + u16(fields[i]) + u" ";
            }
        }
        return u"另一个程序";
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
            throw ExportError(u"LibreOffice 组件无法加载：" + u16(e.Message));
        }
    }

    // A profile that an earlier run left complete; a fresh profile costs the office a
    // restart and its first-time set-up, most of a cold export.
    static fs::path seedProfile() {
        const char* cache = std::getenv("XDG_CACHE_HOME");
        const char* home = std::getenv("HOME");
        const fs::path base = cache != nullptr && *cache == '/' ? fs::path(cache)
                              : home != nullptr                 ? fs::path(home) / ".cache"
                                                                : fs::path("/tmp");
        return base / "logora" / "office-profile";
    }

    // Profiles of earlier runs that ended without cleaning up (killed, crashed): their
    // folder names carry the process id, which no longer runs.
    static void removeStaleProfiles() {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/tmp", ec)) {
            const std::string name = entry.path().filename().string();
            const std::string prefix = "logora-office-";
            if (name.rfind(prefix, 0) != 0) {
                continue;
            }
            const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
                fs::remove_all(entry.path(), ec);
            }
        }
    }

    void launchOffice() {
        if (profile_.empty()) {
            removeStaleProfiles();
            std::string tmpl = "/tmp/logora-office-" + std::to_string(::getpid()) + "-XXXXXX";
            if (::mkdtemp(tmpl.data()) == nullptr) {
                throw ExportError(u"无法为 LibreOffice 建立临时文件夹。");
            }
            profile_ = tmpl;
            std::error_code ec;
            if (fs::is_directory(seedProfile() / "user", ec)) {
                fs::copy(seedProfile(), profile_, fs::copy_options::recursive, ec);
                seeded_ = !ec;
            }
        }
        static int serial = 0;
        pipe_ = "logora-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
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
            throw ExportError(u"LibreOffice Calc 无法启动。");
        }
        if (pid == 0) {
            ::setpgid(0, 0);
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
    }

    // 0 when connected; otherwise the office's exit status (or -1 on time-out).
    int connect() {
        Reference<css::bridge::XUnoUrlResolver> resolver =
            css::bridge::UnoUrlResolver::create(local_);
        const OUString url = ou("uno:pipe,name=" + pipe_ + ";urp;StarOffice.ComponentContext");
        const auto deadline = Clock::now() + kStartTimeout;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(office_, &status, WNOHANG) == office_) {
                office_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            try {
                watchdog_.arm(office_, std::chrono::seconds(10));
                Reference<css::uno::XInterface> found = resolver->resolve(url);
                watchdog_.disarm();
                remote_.set(found, UNO_QUERY_THROW);
                desktop_ = css::frame::Desktop::create(remote_);
                return 0;
            } catch (const css::connection::NoConnectException&) {
                watchdog_.disarm();
            } catch (const css::uno::Exception&) {
                watchdog_.disarm();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        return -1;
    }

    bool officeAlive() {
        int status = 0;
        return office_ > 0 && ::waitpid(office_, &status, WNOHANG) == 0;
    }

    void killOffice() {
        if (office_ > 0) {
            ::kill(-office_, SIGKILL);
            ::waitpid(office_, nullptr, 0);
            office_ = -1;
        }
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
                office_ = -1;
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
    std::string pipe_;
    fs::path profile_;
    fs::path path_;
    bool lockCreated_ = false;
    bool seeded_ = false;
};

} // namespace
} // namespace logora::exporting

extern "C" __attribute__((visibility("default"))) logora::exporting::Spreadsheet*
logora_calc_create() {
    return new logora::exporting::CalcSpreadsheet();
}
