#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/download_list.h"
#include "platform/file_ops.h"
#include "platform/host.h"
#include "platform/instance_lock.h"

namespace rg {

inline constexpr std::string_view kListFileName = "RGList.rgl";
inline constexpr std::string_view kListLockSuffix = ".lock";
inline constexpr std::string_view kUnreadableListSuffix = ".unreadable";
// Further kept copies are numbered "RGList.rgl.unreadable.1" and on, up to this many.
inline constexpr int kUnreadableCopiesMax = 99;
inline constexpr std::int32_t kListVersion = 101;
inline constexpr std::size_t kListHeaderSize = 8;
inline constexpr std::size_t kRangeRecordSize = 8;
inline constexpr std::string_view kSaveListFailedText = "Error Occured while saving DlList file";
inline constexpr std::string_view kLoadListFailedText =
    "Error Occured while processing DlList file";

enum class ListLoadStatus {
    Loaded,        // read to its end, or empty
    WrongVersion,  // unknown header: the list stays empty
    Damaged,       // a block or its ranges could not be read whole: the items before it stay
};

// Reads a list from bytes. Items read whole are appended to `list` (loaded items are Stopped and
// "Idle"); an item whose block or ranges are cut off is not kept. Counts are bounded by the bytes
// present before anything is allocated. Ranges with a negative start or length, or that pass a
// known total size, are dropped; the rest are put in order with overlaps joined.
ListLoadStatus parse_list(std::span<const std::uint8_t> bytes, DownloadList& list);

// Serialises the list as a save writes it. The ranges written for an item always agree with the
// range count written before them.
std::string serialise_list(const DownloadList& list);

// The download list file of one data folder. open() takes the exclusive lock that keeps a second
// instance away, for as long as this object lives. A save writes a new file beside the old one and
// renames it over, so a crash or a full disk at any moment leaves the previous list whole. A save
// of a list that is the same as the one saved last writes nothing.
class ListFile {
  public:
    enum class OpenResult { Opened, Locked, Failed };

    ListFile(std::string folder, Host& host, FileOps& ops = system_file_ops());

    OpenResult open();
    // True when the file was read to its end or is empty; false for a wrong version or damage.
    // A file that cannot be read whole is reported to the user once, kept aside as
    // "RGList.rgl.unreadable" (numbered when that name is taken), and replaced at once by the items
    // read whole from it, so that nothing read is lost and the next load is clean.
    bool load(DownloadList& list);
    // False when the save failed (reported to the user once) or one was already running. Before an
    // item's ranges are recorded for the first time, the bytes they name are flushed to disk; an
    // item whose file cannot be flushed is saved without ranges this time.
    bool save(const DownloadList& list);

    const std::string& path() const { return path_; }
    bool is_open() const { return lock_.held(); }

  private:
    bool write_list(const DownloadList& list);
    bool ranges_are_durable(const ItemSnapshot& snap);
    bool keep_unreadable_copy();

    std::string folder_;
    std::string path_;
    Host& host_;
    FileOps& ops_;
    InstanceLock lock_;
    bool saving_ = false;
    // The item records of the last save, in order; unknown until a save has written them.
    std::optional<std::vector<std::string>> saved_records_;
};

}  // namespace rg
