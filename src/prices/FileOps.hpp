// SPDX-License-Identifier: GPL-3.0-or-later
// The few file operations a price save is made of, one set per platform: bounded reads,
// durable temporaries, replacing renames, hard links, GBK text.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace logora::prices::fileops {

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

// GBK (code page 936) conversions; nullopt when the text cannot be converted.
std::optional<std::string> toGbk(std::u16string_view text);
std::optional<std::u16string> fromGbk(std::string_view bytes);

} // namespace logora::prices::fileops
