#include <gtest/gtest.h>

#include "engine/clipboard_text.h"
#include "engine/download_list.h"
#include "engine/item_toggles.h"
#include "engine/selection.h"

namespace rg {
namespace {

std::int32_t open_when_done(DownloadList& list, std::int32_t row) {
    return list.item_at(row)->lock()->saved.open_when_done;
}

std::int32_t scheduled(DownloadList& list, std::int32_t row) {
    return list.item_at(row)->lock()->saved.scheduled;
}

TEST(CommandToggles, FlipSelectedItemsOnly) {
    DownloadList list;
    for (std::int32_t value : {0, 1, 7, 0})
        list.append_item().lock()->saved.scheduled = value;

    EXPECT_EQ(toggle_flag(list, Selection::of(4, {0, 1, 2}), ItemFlag::Scheduled), 3);
    EXPECT_EQ(scheduled(list, 0), 1);
    EXPECT_EQ(scheduled(list, 1), 0);
    EXPECT_EQ(scheduled(list, 2), 0);  // any value but 0 becomes 0
    EXPECT_EQ(scheduled(list, 3), 0);

    EXPECT_EQ(toggle_flag(list, Selection::of(4, {3}), ItemFlag::OpenWhenDone), 1);
    EXPECT_EQ(open_when_done(list, 3), 1);
    EXPECT_EQ(open_when_done(list, 0), 0);
    EXPECT_EQ(scheduled(list, 3), 0);

    EXPECT_EQ(toggle_flag(list, Selection::of(4, {}), ItemFlag::OpenWhenDone), 0);
    // A stale selection reaches only rows that exist.
    EXPECT_EQ(toggle_flag(list, Selection::of(6, {3, 5}), ItemFlag::OpenWhenDone), 1);
    EXPECT_EQ(open_when_done(list, 3), 0);
    DownloadList empty;
    EXPECT_EQ(toggle_flag(empty, Selection::of(1, {0}), ItemFlag::Scheduled), 0);

    EXPECT_EQ(toggled_flag_of(CommandId::OpenWhenDone), ItemFlag::OpenWhenDone);
    EXPECT_EQ(toggled_flag_of(CommandId::Scheduled), ItemFlag::Scheduled);
    EXPECT_EQ(toggled_flag_of(CommandId::CopyUrl), std::nullopt);
}

TEST(CommandToggles, CopyTextsComeFromTheCaretItem) {
    DownloadList list;
    for (int i = 0; i < 3; ++i) {
        auto data = list.append_item().lock();
        data->set_url("http://host/f" + std::to_string(i) + ".avi");
        data->set_local_path("/home/u/Downloads/f" + std::to_string(i) + ".avi");
    }
    const Selection s = Selection::of(3, {0, 2}, 2);
    EXPECT_EQ(clipboard_text(CommandId::CopyUrl, list, s), "http://host/f2.avi");
    EXPECT_EQ(clipboard_text(CommandId::CopyFilename, list, s), "/home/u/Downloads/f2.avi");
    // The caret is off the selection: the first selected row.
    EXPECT_EQ(clipboard_text(CommandId::CopyUrl, list, Selection::of(3, {0, 2}, 1)),
              "http://host/f0.avi");

    EXPECT_EQ(clipboard_text(CommandId::CopyUrl, list, Selection::of(3, {}, 1)), std::nullopt);
    EXPECT_EQ(clipboard_text(CommandId::Start, list, s), std::nullopt);
    DownloadList empty;
    EXPECT_EQ(clipboard_text(CommandId::CopyUrl, empty, Selection::of(1, {0}, 0)), std::nullopt);

    // An item without a local path copies an empty text.
    list.append_item().lock()->set_url("ftp://h/x");
    EXPECT_EQ(clipboard_text(CommandId::CopyFilename, list, Selection::of(4, {3}, 3)), "");
}

}  // namespace
}  // namespace rg
