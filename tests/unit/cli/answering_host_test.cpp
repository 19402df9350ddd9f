// The host of one command: its options answer the questions they are meant for, nothing else.
#include "cli/answering_host.h"

#include <gtest/gtest.h>

#include "support/recording_host.h"

namespace rg {
namespace {

TEST(AnsweringHostTest, AnswersOnlyTheQuestionsItWasGiven) {
    test::RecordingHost inner;
    inner.answers = {MessageAnswer::Cancel};
    AnsweringHost host(inner);
    host.answer("Delete?", MessageAnswer::Yes);
    EXPECT_EQ(
        host.message_box("Delete?", "Cancel", MessageButtons::YesNoCancel, MessageIcon::Warning),
        MessageAnswer::Yes);
    EXPECT_TRUE(inner.message_list().empty());
    // Another question is the inner host's.
    EXPECT_EQ(host.message_box("Rename?", "Error", MessageButtons::YesNo, MessageIcon::Question),
              MessageAnswer::Cancel);
    ASSERT_EQ(inner.message_list().size(), 1u);
    EXPECT_EQ(inner.message_list()[0].text, "Rename?");
    // The same text as a plain notice is no question: it is shown.
    EXPECT_EQ(host.message_box("Delete?", "Note", MessageButtons::Ok, MessageIcon::Information),
              MessageAnswer::Ok);
    EXPECT_EQ(inner.message_list().size(), 2u);
}

TEST(AnsweringHostTest, SilencesOnlyTheNoticesItWasTold) {
    test::RecordingHost inner;
    AnsweringHost host(inner);
    host.silence("Invalid Host");
    EXPECT_EQ(host.message_box("Invalid Host", "Error", MessageButtons::Ok, MessageIcon::Error),
              MessageAnswer::Ok);
    EXPECT_TRUE(inner.message_list().empty());
    host.message_box("Error encoding url.", "Error", MessageButtons::Ok, MessageIcon::Error);
    EXPECT_EQ(inner.message_list().size(), 1u);
    // A silenced text asked as a question still reaches the user.
    host.message_box("Invalid Host", "Error", MessageButtons::YesNo, MessageIcon::Error);
    EXPECT_EQ(inner.message_list().size(), 2u);

    host.open_file("/x");
    host.list_changed();
    EXPECT_EQ(inner.opened_files, std::vector<std::string>{"/x"});
    EXPECT_EQ(inner.list_changes.load(), 1);
    EXPECT_EQ(host.ask_credentials("http://h/"), std::nullopt);
    EXPECT_EQ(inner.credential_urls, std::vector<std::string>{"http://h/"});
}

}  // namespace
}  // namespace rg
