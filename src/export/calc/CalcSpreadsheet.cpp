// SPDX-License-Identifier: GPL-3.0-or-later
// The spreadsheet application for real: LibreOffice Calc driven through its C++ UNO API.
//
// Built as a plugin so that Logora starts and calculates without LibreOffice installed.
// One private headless office serves the running program: started at the first export,
// ended when it fails (so a retry starts afresh) and when the program ends; a failure of
// the bill file itself leaves it running for the next export.
#include "export/BillLock.hpp"
#include "export/Spreadsheet.hpp"
#include "export/calc/OfficeProcess.hpp"
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
using office::Clock;
using office::kProgramDir;
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

std::string userName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr) {
        return pw->pw_name;
    }
    return std::to_string(::geteuid());
}

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
        if (office_.pid() > 0 || preparing_.joinable()) {
            return;
        }
        try {
            office_.launch(true);
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
                    office_.recordPipes();
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
        if (office_.pid() > 0 && desktop_.is() && office_.alive() && answers()) {
            return;
        }
        const bool prepared = office_.pid() > 0 && !desktop_.is() && office_.alive();
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
                office_.launch(false);
            }
            const int status = connect(deadline);
            if (status == 0) {
                office_.recordPipes();
                return;
            }
            // A fresh profile makes the first start end with 81 ("restart me"); once.
            if (status == 81 && launch == 0) {
                office_.forget();
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
        const std::string program = office::onPath("soffice");
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
                office::quiet();
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
        office_.watchdog().disarm();
        try {
            sheet_.clear();
            document_.clear();
            desktop_.clear();
            remote_.clear();
        } catch (...) {
        }
        office_.kill();
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
        if (office_.pid() <= 0) {
            throw ExportError(u"LibreOffice Calc 意外退出，账单 " + u16(path_) +
                              u" 没有保存。请再导出一次。");
        }
        office_.watchdog().reset();
        office_.watchdog().arm(office_.pid(), kCallTimeout);
        try {
            call();
        } catch (const css::uno::RuntimeException& e) {
            office_.watchdog().disarm();
            // The bridge is gone: the office died, or the watchdog ended it.
            throw ExportError((office_.watchdog().fired() ? u"LibreOffice Calc 没有响应，账单 "
                                                          : u"LibreOffice Calc 意外退出，账单 ") +
                                  u16(path_) + u" 没有保存。请再导出一次。",
                              u16(e.Message));
        } catch (const css::uno::Exception& e) {
            office_.watchdog().disarm();
            if (office_.watchdog().fired()) {
                throw ExportError(u"LibreOffice Calc 没有响应，账单 " + u16(path_) +
                                      u" 没有保存。请再导出一次。",
                                  u16(e.Message));
            }
            throw DamagedBill{u16(e.Message)};
        }
        office_.watchdog().disarm();
    }

    // Our own lock, in the office's format and naming our private profile, taken before the
    // office loads the bill: a kill during the load leaves a lock that the next export knows
    // for its own, and nobody else can take the bill meanwhile.
    void markOwnership(const fs::path& path) {
        const fs::path lock = lockFileOf(path);
        const std::string time = ui::localNow("%d.%m.%Y %H:%M"); // as the office writes it
        const std::string line = lockLine({"", userName(), systemOfficeProbe().hostName(), time,
                                           "file://" + office_.profile().string()});
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

    // 0 when connected; otherwise the office's exit status, or kTimedOut when the deadline
    // passed (the office is then ended). Only a socket of this user's is connected to.
    int connect(Clock::time_point deadline) {
        Reference<css::bridge::XUnoUrlResolver> resolver =
            css::bridge::UnoUrlResolver::create(local_);
        const OUString url =
            ou("uno:pipe,name=" + office_.pipeName() + ";urp;StarOffice.ComponentContext");
        while (Clock::now() < deadline) {
            if (const std::optional<int> status = office_.ended()) {
                return *status;
            }
            if (office::ownSocket(office::pipePath(office_.pipeName()))) {
                try {
                    office_.watchdog().arm(office_.pid(),
                                           std::chrono::duration_cast<std::chrono::milliseconds>(
                                               deadline - Clock::now()) +
                                               std::chrono::milliseconds(1));
                    Reference<css::uno::XInterface> found = resolver->resolve(url);
                    office_.watchdog().disarm();
                    remote_.set(found, UNO_QUERY_THROW);
                    desktop_ = css::frame::Desktop::create(remote_);
                    return 0;
                } catch (const css::uno::Exception&) {
                    office_.watchdog().disarm();
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        return kTimedOut;
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
            office_.watchdog().arm(office_.pid(), kCallTimeout);
            Reference<css::lang::XComponent> doc = loadHidden("private:factory/scalc");
            Reference<css::util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
        } catch (const css::uno::Exception&) {
        }
        office_.watchdog().disarm();
    }

    // The warm office may have been killed since the last export (by the user, by the
    // system): one cheap call tells, so the export starts a new one instead of failing.
    bool answers() {
        try {
            office_.watchdog().arm(office_.pid(), std::chrono::seconds(5));
            desktop_->getCurrentComponent();
            office_.watchdog().disarm();
            return true;
        } catch (const css::uno::Exception&) {
            office_.watchdog().disarm();
            return false;
        }
    }

    void shutDown() {
        if (office_.pid() > 0 && desktop_.is()) {
            try {
                if (document_.is()) {
                    closeAll();
                }
                office_.watchdog().arm(office_.pid(), std::chrono::seconds(5));
                desktop_->terminate();
            } catch (...) {
            }
            office_.watchdog().disarm();
            // A polite end first; whatever is left after a moment is killed.
            for (int i = 0; i < 50 && office_.alive(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (!office_.alive()) {
                office_.forget();
                office_.keepSeed();
            }
        }
        abandon();
    }

    Reference<css::uno::XComponentContext> local_;
    Reference<css::uno::XComponentContext> remote_;
    Reference<css::frame::XDesktop2> desktop_;
    Reference<css::lang::XComponent> document_;
    Reference<css::sheet::XSpreadsheet> sheet_;
    office::OfficeProcess office_;
    Clock::time_point launchedAt_{};
    std::thread preparing_;
    fs::path path_;
    fs::path mark_;
};

} // namespace
} // namespace logora::exporting

extern "C" __attribute__((visibility("default"))) logora::exporting::Spreadsheet*
logora_calc_create() {
    // The office may die while the UNO bridge writes to its pipe (killed by the user, the
    // system or the watchdog): the write must fail with EPIPE, which the bridge reports as a
    // dead office, and never end the program with SIGPIPE.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
    return new logora::exporting::CalcSpreadsheet();
}
