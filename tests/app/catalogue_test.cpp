// The catalogue of messages: the .po text as a translator edits it, and
// failures said in Japanese with their offsets, records and files kept.
#include "app/catalogue.h"

#include <gtest/gtest.h>

#include "app/failure.h"
#include "entities/document.h"
#include "jww/jww_data.h"
#include "support/byte_builder.h"
#include "support/documents.h"
#include "support/drawing_builder.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {

TEST(Catalogue, ReadsTheTextAsATranslatorEditsIt) {
  const char* po =
      "# a comment\n"
      "msgid \"\"\n"
      "msgstr \"\"\n"
      "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
      "\n"
      "msgid \"one {n}\"\n"
      "msgstr \"\xE4\xB8\x80 {n}\"\n"  // 一
      "\n"
      "#, fuzzy\n"
      "msgid \"\"\n"
      "\"two\\n\"\n"
      "\"lines \\\"quoted\\\"\"\n"
      "msgstr \"\"\n"
      "\"\xE4\xBA\x8C\\n\"\n"  // 二
      "\"\\\\\"\n"
      "\n"
      "msgid \"not yet\"\n"
      "msgstr \"\"\n";
  const auto entries = ParseCatalogue(po);
  ASSERT_EQ(entries.size(), 2u);  // the header and the untranslated entry aside
  EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"one {n}", "\xE4\xB8\x80 {n}"}));
  EXPECT_EQ(entries[1], (std::pair<std::string, std::string>{"two\nlines \"quoted\"", "\xE4\xBA\x8C\n\\"}));
}

TEST(Catalogue, SaysNestedMessagesInEitherLanguage) {
  const Message m = Message("{detail} ({record})")
                        .Set("detail", Message("truncated at byte offset {offset}: need {need} bytes, {left} left")
                                           .Set("offset", 12)
                                           .Set("need", 9)
                                           .Set("left", 7))
                        .Set("record", Message("header"));
  EXPECT_EQ(Say(m, Language::kEnglish), "truncated at byte offset 12: need 9 bytes, 7 left (header)");
  EXPECT_EQ(Say(m, Language::kJapanese),
            "ヘッダー: 12 バイト目で途切れています（あと 9 バイト必要なところ、7 バイトしかありません）");
  // A value is never looked up, a pattern the catalogue lacks stays English.
  EXPECT_EQ(Say(Message::Value("header"), Language::kJapanese), "header");
  EXPECT_EQ(Say(Message("no such pattern {x}").Set("x", 1), Language::kJapanese), "no such pattern 1");
  EXPECT_FALSE(JapanesePatterns().empty());
}

// Real failures of real files, said in Japanese: the file, the offset and the
// record are all there.
TEST(Catalogue, FailuresOfALoadInJapanese) {
  test::TempDir dir;
  test::draw::MakeDrawing(dir / "a.jww", 3);
  const std::string bytes = test::ReadFile(dir / "a.jww");
  struct Row {
    std::string bytes;
    const char* japanese;
  } rows[] = {
      {bytes.substr(0, 5000), "ヘッダー: 4997 バイト目で途切れています"},
      {bytes.substr(0, bytes.size() - 30), "ブロック定義 1 個中 1 番目の要素 2 個中 2 番目、寸法: "},
      {"JwsData" + bytes.substr(7), "JWW 図面ではありません"},
  };
  for (const auto& row : rows) {
    test::WriteFile(dir / "b.jww", row.bytes);
    MemoryImages store;
    TBoundImages images(store);
    TJwwData doc(images);
    const Failure f = LoadFile(doc, dir / "b.jww");
    const std::string ja = Say(f.message, Language::kJapanese);
    EXPECT_NE(ja.find(row.japanese), std::string::npos) << ja;
    EXPECT_NE(ja, f.text);
  }
}

}  // namespace
}  // namespace tessaly
