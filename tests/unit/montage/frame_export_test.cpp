#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "montage/bmp_writer.h"
#include "montage/frame_export.h"
#include "montage/jpeg_writer.h"
#include "storyboard_pictures.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using test::decode_jpeg;
using test::gradient_picture;
using test::le16;
using test::le32;
using test::read_file;
using test::solid_picture;

std::string as_text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(SavePathTest, AppendsTheExtensionOfTheChosenType) {
    struct Case {
        const char* chosen;
        std::int32_t filter;
        const char* path;
        ImageFormat format;
    };
    const Case cases[] = {
        {"/t/shot", kJpegFilterIndex, "/t/shot.jpg", ImageFormat::Jpeg},
        {"/t/shot.JPG", kJpegFilterIndex, "/t/shot.JPG", ImageFormat::Jpeg},
        {"/t/shot.jpeg", kJpegFilterIndex, "/t/shot.jpeg.jpg", ImageFormat::Jpeg},
        {"/t/shot.bmp", kJpegFilterIndex, "/t/shot.bmp.jpg", ImageFormat::Jpeg},
        {"/t/shot", kBmpFilterIndex, "/t/shot.bmp", ImageFormat::Bmp},
        {"/t/A.BMP", kBmpFilterIndex, "/t/A.BMP", ImageFormat::Bmp},
        {"/t/shot.jpg", kBmpFilterIndex, "/t/shot.jpg.bmp", ImageFormat::Bmp},
        {"/t/shot", 0, "/t/shot.bmp", ImageFormat::Bmp},  // any index but 1 is the bitmap
        {"/t/shot", 3, "/t/shot.bmp", ImageFormat::Bmp},
        {"jpg", kJpegFilterIndex, "jpg.jpg", ImageFormat::Jpeg},  // under four characters
        {".jpg", kJpegFilterIndex, ".jpg", ImageFormat::Jpeg},
        {"", kBmpFilterIndex, ".bmp", ImageFormat::Bmp},
    };
    for (const Case& c : cases) {
        const ResolvedSavePath resolved = resolve_save_path(c.chosen, c.filter);
        EXPECT_EQ(resolved.path, c.path) << c.chosen << " " << c.filter;
        EXPECT_EQ(resolved.format, c.format) << c.chosen << " " << c.filter;
    }
    EXPECT_EQ(format_for_path("a.Bmp"), ImageFormat::Bmp);
    EXPECT_EQ(format_for_path("a.bmp.png"), ImageFormat::Jpeg);
}

TEST(BmpWriterTest, HeadersRowsAndPaddingReadBack) {
    // 3 x 2: rows of 9 bytes padded to 12, stored bottom row first as BGR.
    Picture picture = make_picture(3, 2);
    for (std::size_t i = 0; i < picture.rgb.size(); ++i)
        picture.rgb[i] = static_cast<std::uint8_t>(i + 1);
    const std::string bmp = as_text(encode_bmp(picture));
    ASSERT_EQ(bmp.size(), 54u + 2 * 12);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(le32(bmp, 2), bmp.size());
    EXPECT_EQ(le32(bmp, 6), 0u);
    EXPECT_EQ(le32(bmp, 10), 54u);
    EXPECT_EQ(le32(bmp, 14), 40u);
    EXPECT_EQ(le32(bmp, 18), 3u);
    EXPECT_EQ(le32(bmp, 22), 2u);  // positive: bottom-up
    EXPECT_EQ(le16(bmp, 26), 1u);
    EXPECT_EQ(le16(bmp, 28), 24u);
    EXPECT_EQ(le32(bmp, 30), 0u);
    EXPECT_EQ(le32(bmp, 34), 24u);
    EXPECT_EQ(le32(bmp, 46), 0u);
    EXPECT_EQ(le32(bmp, 50), 0u);

    const std::string bottom = bmp.substr(54, 12);
    const std::string top = bmp.substr(66, 12);
    EXPECT_EQ(bottom, std::string("\x0c\x0b\x0a\x0f\x0e\x0d\x12\x11\x10\0\0\0", 12));
    EXPECT_EQ(top, std::string("\x03\x02\x01\x06\x05\x04\x09\x08\x07\0\0\0", 12));
}

TEST(BmpWriterTest, RowSizesAndRefusals) {
    EXPECT_EQ(bmp_row_size(1), 4u);
    EXPECT_EQ(bmp_row_size(4), 12u);
    EXPECT_EQ(bmp_row_size(5), 16u);
    EXPECT_EQ(bmp_row_size(16384), 49152u);
    EXPECT_EQ(encode_bmp(solid_picture(4, 1, 0, 0, 0)).size(), 54u + 12);
    EXPECT_TRUE(encode_bmp(Picture{}).empty());
    Picture short_buffer = solid_picture(2, 2, 0, 0, 0);
    short_buffer.rgb.pop_back();
    EXPECT_TRUE(encode_bmp(short_buffer).empty());
    // A sink that refuses stops the writer.
    EXPECT_FALSE(write_bmp(solid_picture(2, 2, 0, 0, 0),
                           [](const std::uint8_t*, std::size_t) { return false; }));
}

TEST(JpegWriterTest, DecodesBackCloseToTheOriginal) {
    for (const auto& [width, height] : {std::pair{64, 48}, std::pair{33, 17}, std::pair{1, 1}}) {
        const Picture picture = gradient_picture(width, height);
        const JpegEncoding jpeg = encode_jpeg(picture);
        ASSERT_TRUE(jpeg.ok()) << jpeg.error;
        const auto decoded = decode_jpeg(as_text(jpeg.bytes));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->subsampling, TJSAMP_420);
        ASSERT_EQ(decoded->picture.width, width);
        ASSERT_EQ(decoded->picture.height, height);
        long total = 0;
        for (std::size_t i = 0; i < picture.rgb.size(); ++i)
            total += std::abs(picture.rgb[i] - decoded->picture.rgb[i]);
        EXPECT_LT(static_cast<double>(total) / picture.rgb.size(), 6.0) << width << "x" << height;
    }
}

// Writes fail with a full disk.
class FullDisk : public FileOps {
  public:
    ssize_t write(int, const void*, std::size_t) override {
        errno = ENOSPC;
        return -1;
    }
};

TEST(WritePictureTest, WritesBothFormatsAndReportsFailures) {
    test::TempDir dir;
    const Picture picture = gradient_picture(21, 13);
    const SaveResult bmp = write_picture(picture, dir.file("a.bmp"), ImageFormat::Bmp);
    ASSERT_TRUE(bmp.ok()) << bmp.detail;
    EXPECT_EQ(read_file(dir.file("a.bmp")), as_text(encode_bmp(picture)));
    const SaveResult jpeg = write_picture(picture, dir.file("a.jpg"), ImageFormat::Jpeg);
    ASSERT_TRUE(jpeg.ok()) << jpeg.detail;
    EXPECT_TRUE(decode_jpeg(read_file(dir.file("a.jpg"))));

    const SaveResult missing_folder =
        write_picture(picture, dir.file("no/such/folder.jpg"), ImageFormat::Jpeg);
    EXPECT_EQ(missing_folder.error, SaveError::WriteFailed);
    EXPECT_FALSE(missing_folder.detail.empty());

    FullDisk full;
    const SaveResult no_room = write_picture(picture, dir.file("a.bmp"), ImageFormat::Bmp, full);
    EXPECT_EQ(no_room.error, SaveError::WriteFailed);
    EXPECT_EQ(read_file(dir.file("a.bmp")), as_text(encode_bmp(picture)));  // old file kept

    EXPECT_EQ(write_picture(Picture{}, dir.file("b.jpg"), ImageFormat::Jpeg).error,
              SaveError::InvalidPicture);
    EXPECT_EQ(write_picture(picture, std::string(5000, 'x'), ImageFormat::Jpeg).error,
              SaveError::NameTooLong);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.jpg")));
}

TEST(SaveFrameTest, NothingShownOpensNoDialog) {
    test::RecordingHost host;
    host.chosen_paths.push_back("/tmp/never");
    EXPECT_EQ(save_frame(nullptr, host).error, SaveError::NoPicture);
    EXPECT_TRUE(host.proposed_paths.empty());
}

TEST(SaveFrameTest, CancelledDialogWritesNothing) {
    test::RecordingHost host;
    const Picture picture = solid_picture(8, 8, 1, 2, 3);
    EXPECT_EQ(save_frame(&picture, host).error, SaveError::Cancelled);
    ASSERT_EQ(host.proposed_paths.size(), 1u);
    EXPECT_EQ(host.proposed_paths[0], "");
    EXPECT_TRUE(host.message_list().empty());
}

TEST(SaveFrameTest, TypedNameChoosesTheFormat) {
    test::TempDir dir;
    test::RecordingHost host;
    const Picture picture = gradient_picture(16, 9);
    host.chosen_paths.push_back(dir.file("shot"));
    host.chosen_paths.push_back(dir.file("still.BMP"));

    const SaveResult jpeg = save_frame(&picture, host);
    ASSERT_TRUE(jpeg.ok()) << jpeg.detail;
    EXPECT_EQ(jpeg.path, dir.file("shot.jpg"));
    EXPECT_TRUE(decode_jpeg(read_file(dir.file("shot.jpg"))));

    const SaveResult bmp = save_frame(&picture, host);
    ASSERT_TRUE(bmp.ok()) << bmp.detail;
    EXPECT_EQ(bmp.path, dir.file("still.BMP"));
    EXPECT_EQ(read_file(dir.file("still.BMP")), as_text(encode_bmp(picture)));
    EXPECT_TRUE(host.message_list().empty());
}

TEST(SaveFrameTest, AsksBeforeReplacingAFileUnderTheExtendedName) {
    test::TempDir dir;
    test::RecordingHost host;
    const Picture picture = gradient_picture(16, 9);
    test::write_file(dir.file("shot.jpg.bmp"), "old");
    const FrameFileChoice choice{dir.file("shot.jpg"), kBmpFilterIndex};

    host.answers.push_back(MessageAnswer::No);
    EXPECT_EQ(save_frame_as(picture, choice, host).error, SaveError::Cancelled);
    EXPECT_EQ(read_file(dir.file("shot.jpg.bmp")), "old");
    ASSERT_EQ(host.message_list().size(), 1u);
    EXPECT_EQ(host.message_list()[0].text,
              "shot.jpg.bmp already exists.\r\nDo you want to replace it?");
    EXPECT_EQ(host.message_list()[0].caption, "Select File to Save");
    EXPECT_EQ(host.message_list()[0].buttons, MessageButtons::YesNo);

    host.answers.push_back(MessageAnswer::Yes);
    ASSERT_TRUE(save_frame_as(picture, choice, host).ok());
    EXPECT_EQ(read_file(dir.file("shot.jpg.bmp")), as_text(encode_bmp(picture)));

    // A name taken as typed was already confirmed by the dialog.
    test::write_file(dir.file("kept.bmp"), "old");
    ASSERT_TRUE(save_frame_as(picture, {dir.file("kept.bmp"), kBmpFilterIndex}, host).ok());
    EXPECT_EQ(host.message_list().size(), 2u);
}

TEST(SaveFrameTest, FailureIsShownAndReturned) {
    test::TempDir dir;
    test::RecordingHost host;
    const Picture picture = gradient_picture(16, 9);
    const std::string path = dir.file("missing/shot.jpg");
    const SaveResult result = save_frame_as(picture, {path, kJpegFilterIndex}, host);
    EXPECT_EQ(result.error, SaveError::WriteFailed);
    ASSERT_EQ(host.message_list().size(), 1u);
    const test::RecordingHost::Message message = host.message_list()[0];
    EXPECT_EQ(message.caption, "Error");
    EXPECT_EQ(message.icon, MessageIcon::Error);
    EXPECT_EQ(message.text.rfind("Error Saving the Picture\r\n" + path + "\r\n", 0), 0u)
        << message.text;
}

}  // namespace
}  // namespace rg
