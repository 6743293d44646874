// SPDX-License-Identifier: GPL-3.0-or-later
// The few file operations that the price files and the tally snapshots are made of, one set
// per platform (FileOpsPosix.cpp, FileOpsWin.cpp): bounded reads, durable temporaries,
// replacing renames, hard links, held locks, GBK text.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace logora::fileops {

// A price file is one short line; anything longer is not one (a disk error, a mistaken copy).
inline constexpr std::size_t kMaxPriceBytes = 4096;

struct Read {
    enum class Status { Missing, Ok, Folder, TooLarge, Failed } status = Status::Missing;
    std::string bytes;
    int error = 0; // an errno value
};

// At most kMaxPriceBytes + 1 bytes, never following the file's size.
Read readBounded(const std::filesystem::path& path);

// The bytes in a fresh temporary "<target>.tmp-XXXXXX" beside target, on the disk when this
// returns; nullopt with error (an errno value) when it could not be made. A private one is
// readable by its owner only (a tally); others by everyone (prices).
std::optional<std::filesystem::path> writeTemporary(const std::filesystem::path& target,
                                                    const std::string& bytes, int& error,
                                                    bool ownerOnly = false);

// Renames from over to; 0 or an errno value.
int rename(const std::filesystem::path& from, const std::filesystem::path& to);
// A second name for an existing file; false when there is none to link or it failed.
bool hardLink(const std::filesystem::path& existing, const std::filesystem::path& link);
// Removes a file if it is there.
void remove(const std::filesystem::path& path);
// The folder's entries on the disk, where the platform can tell.
void syncFolder(const std::filesystem::path& folder);

// A lock file held while this program runs: the system lets it go however the program ends,
// a kill or a power cut included, so a free lock means its program is gone.
class HeldLock {
  public:
    virtual ~HeldLock() = default;
    // Let go, and the lock file removed (best effort: another program may hold it by then).
    virtual void releaseAndRemove() = 0;
};
// Held by this program now, or null when another program holds it or it cannot be made.
std::unique_ptr<HeldLock> holdLock(const std::filesystem::path& file);

// Why a file operation failed (an errno value), as a Chinese-reading user understands it;
// `blocked` names what a folder of the same name stands in the way of.
std::u16string reasonOf(int error, std::u16string_view blocked = u"单价文件");

// GBK (code page 936) conversions; nullopt when the text cannot be converted.
std::optional<std::string> toGbk(std::u16string_view text);
std::optional<std::u16string> fromGbk(std::string_view bytes);

} // namespace logora::fileops
