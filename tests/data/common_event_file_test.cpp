// CommonEvent.dat: files from the writer read back field by field, the
// growing and exact lists of the argument block, numbering, and refusals.
#include <gtest/gtest.h>

#include <vector>

#include "data_test_support.h"
#include "game/data/common_event.h"
#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "tools/writers/common_event_writer.h"
#include "tools/writers/data_file_writer.h"

namespace {

EventCommand Command(std::vector<int32_t> numbers, int8_t indent, std::vector<std::string> texts) {
  EventCommand command;
  command.numbers = std::move(numbers);
  command.indent = indent;
  command.texts = std::move(texts);
  return command;
}

writers::CommonEventEntry FullEvent() {
  writers::CommonEventEntry event;
  event.number = 77;  // replaced by the index
  event.name = "歩行";
  event.start_byte = 0x52;
  event.condition_variable_id = 2000012;
  event.compare_value = -4;
  event.option_bytes = {3, 250};
  EventCommand with_route = Command({201, -1, 0}, 1, {});
  MoveRoute route;
  route.move_type = 1;
  route.commands = {{3, {1, 2}, ""}, {44, {}, "x"}};
  with_route.routes = {route};
  event.commands = {Command({101, 0}, 0, {"テキスト", ""}), with_route, Command({}, -1, {}), Command({0}, 0, {})};
  event.extra_bytes = {5, 6};
  event.note = "memo";
  event.argument_names = {"n0", "n1", "n2"};
  event.argument_settings = {1, 2, 3};
  event.argument_text_lists = {{"a"}, {}, {"b", "c"}};
  event.argument_number_lists = {{1}, {2, 3}};
  event.default_values = {10, 20, 30, 40, 50, 60};
  return event;
}

CommonEventParseResult ParseBody(const std::vector<uint8_t>& body, CommonEventList& list) {
  DataReader reader(body.data(), body.size());
  return ParseCommonEventBody(reader, list);
}

class CommonEventFileTest : public DataLayerTest {};

TEST_F(CommonEventFileTest, FreshListHoldsTenNumberedEvents) {
  CommonEventList list;
  ASSERT_EQ(list.events.size(), 10u);
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(list.events[i].number, i);
  const CommonEvent& event = list.events[3];
  EXPECT_EQ(event.start_byte, 32);
  EXPECT_EQ(event.condition_variable_id, 2000000);
  ASSERT_EQ(event.commands.size(), 1u);
  EXPECT_EQ(event.commands[0].numbers, std::vector<int32_t>{0});
  EXPECT_EQ(event.extra_bytes, std::vector<uint8_t>{0});
}

TEST_F(CommonEventFileTest, ReadsBackFieldByField) {
  writers::CommonEventFileContents contents;
  contents.events = {FullEvent()};
  CommonEventList list;
  ASSERT_EQ(ParseBody(writers::BuildCommonEventBody(contents), list), CommonEventParseResult::kOk);
  ASSERT_EQ(list.events.size(), 1u);
  const CommonEvent& event = list.events[0];
  const writers::CommonEventEntry written = FullEvent();
  EXPECT_EQ(event.number, 0);
  EXPECT_EQ(event.name, written.name);
  EXPECT_EQ(event.start_byte, written.start_byte);
  EXPECT_EQ(event.condition_variable_id, written.condition_variable_id);
  EXPECT_EQ(event.compare_value, written.compare_value);
  EXPECT_EQ(event.option_bytes, written.option_bytes);
  EXPECT_EQ(event.commands, written.commands);
  EXPECT_EQ(event.extra_bytes, written.extra_bytes);
  EXPECT_EQ(event.note, "memo");
  // Names, text lists, number lists and defaults only grow; the settings
  // take exactly the stored count.
  EXPECT_EQ(event.argument_names,
            (std::vector<std::string>{"n0", "n1", "n2", "", "", "", "", "", "", ""}));
  EXPECT_EQ(event.argument_settings, (std::vector<uint8_t>{1, 2, 3}));
  ASSERT_EQ(event.argument_text_lists.size(), 10u);
  EXPECT_EQ(event.argument_text_lists[2], (std::vector<std::string>{"b", "c"}));
  EXPECT_TRUE(event.argument_text_lists[9].empty());
  ASSERT_EQ(event.argument_number_lists.size(), 10u);
  EXPECT_EQ(event.argument_number_lists[1], (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(event.default_values, (std::vector<int32_t>{10, 20, 30, 40, 50, 60}));
}

TEST_F(CommonEventFileTest, NoteAndArgumentBlockArePresentOnlyWhenStored) {
  writers::CommonEventEntry no_extra;
  no_extra.extra_bytes.clear();
  no_extra.note = "never written";
  no_extra.argument_tag = 0x8E;
  writers::CommonEventEntry two_extra = no_extra;
  two_extra.extra_bytes = {7, 8};
  two_extra.note = "written";
  writers::CommonEventFileContents contents;
  contents.events = {no_extra, two_extra, no_extra};
  contents.events[0].number = 5;
  contents.events[1].number = 5;
  contents.events[2].number = -9;

  CommonEventList list;
  ASSERT_EQ(ParseBody(writers::BuildCommonEventBody(contents), list), CommonEventParseResult::kOk);
  ASSERT_EQ(list.events.size(), 3u);
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(list.events[i].number, i);
  EXPECT_EQ(list.events[0].note, "");
  EXPECT_EQ(list.events[0].extra_bytes, std::vector<uint8_t>{0});  // the list only grows
  EXPECT_EQ(list.events[1].note, "written");
  EXPECT_EQ(list.events[1].extra_bytes, (std::vector<uint8_t>{7, 8}));
  // Ended by 0x8E: the argument block keeps its constructed values.
  const CommonEvent fresh;
  EXPECT_EQ(list.events[1].argument_names, fresh.argument_names);
  EXPECT_EQ(list.events[1].argument_settings, std::vector<uint8_t>(10, 0));
  EXPECT_EQ(list.events[1].argument_text_lists.size(), 10u);
  EXPECT_EQ(list.events[1].argument_number_lists.size(), 10u);
  EXPECT_EQ(list.events[1].default_values, std::vector<int32_t>(5, 0));
}

TEST_F(CommonEventFileTest, RefusedBodies) {
  struct Case {
    const char* what;
    void (*damage)(writers::CommonEventFileContents&);
    CommonEventParseResult expected;
    size_t kept;
  };
  const Case cases[] = {
      {"file tag", [](writers::CommonEventFileContents& c) { c.file_tag = 0x8E; }, CommonEventParseResult::kBadOuterTag, 10},
      {"end tag", [](writers::CommonEventFileContents& c) { c.end_tag = 0x90; }, CommonEventParseResult::kBadOuterTag, 2},
      {"tag after the note", [](writers::CommonEventFileContents& c) { c.events[1].argument_tag = 0x90; },
       CommonEventParseResult::kBadEventTag, 2},
      {"tag closing the arguments", [](writers::CommonEventFileContents& c) { c.events[0].closing_tag = 0x8E; },
       CommonEventParseResult::kBadEventTag, 2},
      {"count beyond the file", [](writers::CommonEventFileContents& c) { c.count_override = 0x10000000; },
       CommonEventParseResult::kDamaged, 10},
      {"one event too many", [](writers::CommonEventFileContents& c) { c.count_override = 3; },
       CommonEventParseResult::kDamaged, 3},
  };
  for (const Case& c : cases) {
    writers::CommonEventFileContents contents;
    contents.events = {FullEvent(), FullEvent()};
    c.damage(contents);
    CommonEventList list;
    EXPECT_EQ(ParseBody(writers::BuildCommonEventBody(contents), list), c.expected) << c.what;
    EXPECT_EQ(list.events.size(), c.kept) << c.what;
  }
  // Events read before a refused one are kept.
  writers::CommonEventFileContents contents;
  contents.events = {FullEvent(), FullEvent()};
  contents.events[1].argument_tag = 0x00;
  CommonEventList list;
  ASSERT_EQ(ParseBody(writers::BuildCommonEventBody(contents), list), CommonEventParseResult::kBadEventTag);
  EXPECT_EQ(list.events[0].note, "memo");
}

TEST_F(CommonEventFileTest, TruncatedBodiesAreDamagedAtEveryLength) {
  writers::CommonEventFileContents contents;
  contents.events = {FullEvent(), FullEvent()};
  const std::vector<uint8_t> body = writers::BuildCommonEventBody(contents);
  for (size_t length = 0; length < body.size(); ++length) {
    CommonEventList list;
    const std::vector<uint8_t> cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_EQ(ParseBody(cut, list), CommonEventParseResult::kDamaged) << length;
  }
}

TEST_F(CommonEventFileTest, HugeInnerCountsAreDamage) {
  // One event whose argument-name count claims far more than the file holds.
  DataWriter body;
  body.WriteU8(0x8F).WriteU32(1);
  body.WriteU8(0x8F).WriteI32(0).WriteU8(32).WriteI32(0).WriteI32(0).WriteU8(0).WriteU8(0).WriteString("e").WriteU32(0).WriteU32(0).WriteU8(0x8F);
  body.WriteU32(0x7FFFFFFF);
  CommonEventList list;
  EXPECT_EQ(ParseBody(body.Bytes(), list), CommonEventParseResult::kDamaged);
  // The same with a command count.
  DataWriter commands;
  commands.WriteU8(0x8F).WriteU32(1);
  commands.WriteU8(0x8F).WriteI32(0).WriteU8(32).WriteI32(0).WriteI32(0).WriteU8(0).WriteU8(0).WriteString("e").WriteU32(0xFFFFFFFFu);
  EXPECT_EQ(ParseBody(commands.Bytes(), list), CommonEventParseResult::kDamaged);
}

TEST_F(CommonEventFileTest, LoadingFromTheDataFolder) {
  ScratchGameFolder folder("common_event_load");
  writers::CommonEventFileContents contents;
  contents.events = {FullEvent(), FullEvent(), FullEvent()};
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Data/BasicData/CommonEvent.dat"),
                                      writers::BuildCommonEventFile(contents)));
  CommonEventList list;
  ASSERT_TRUE(list.LoadCommonEvents("BasicData\\CommonEvent.dat"));
  ASSERT_EQ(list.events.size(), 3u);
  EXPECT_EQ(list.events[2].number, 2);
  EXPECT_EQ(list.events[2].commands, FullEvent().commands);
  EXPECT_TRUE(message_boxes_.empty());

  struct Case {
    const char* file;
    void (*damage)(writers::CommonEventFileContents&);
    const char* title;
    const char* text;
  };
  const Case cases[] = {
      {"Missing.dat", nullptr, "読み込みエラー", "コモンイベントデータの読み込みに失敗しました"},
      {"BadOuter.dat", [](writers::CommonEventFileContents& c) { c.file_tag = 0; }, nullptr, nullptr},
      {"BadTag.dat", [](writers::CommonEventFileContents& c) { c.events[1].closing_tag = 0; }, "読み込み失敗",
       "コモンイベントファイルの読み込みに失敗しました。\r\nデータのバージョンが違う可能性があります、"
       "最新ツールでロードしてください。"},
      {"Short.dat", [](writers::CommonEventFileContents& c) { c.count_override = 9; }, "読み込みエラー",
       "コモンイベントデータの読み込みに失敗しました"},
  };
  for (const Case& c : cases) {
    const std::string name = std::string("BasicData\\") + c.file;
    if (c.damage != nullptr) {
      writers::CommonEventFileContents damaged = contents;
      c.damage(damaged);
      ASSERT_TRUE(writers::WriteFileBytes(folder.Native(std::string("Data/BasicData/") + c.file),
                                          writers::BuildCommonEventFile(damaged)));
    }
    message_boxes_.clear();
    CommonEventList failed;
    EXPECT_FALSE(failed.LoadCommonEvents(name)) << c.file;
    if (c.title == nullptr) {
      EXPECT_TRUE(message_boxes_.empty()) << c.file;
    } else {
      ASSERT_EQ(message_boxes_.size(), 1u) << c.file;
      EXPECT_EQ(message_boxes_[0].title, c.title) << c.file;
      EXPECT_EQ(message_boxes_[0].text, c.text) << c.file;
    }
  }
}

}  // namespace
