#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "cli/json_reader.h"
#include "cli/json_writer.h"

namespace evm::cli {
namespace {

using test::Json;
using test::JsonReader;

TEST(JsonWriter, NestedDocumentReadsBackWithEveryValue) {
  const std::string awkward = "quote \" backslash \\ tab \t line\r\n bell \x07 end";
  JsonWriter w;
  w.BeginObject()
      .Key("text")
      .String(awkward)
      .Key("empty")
      .BeginArray()
      .EndArray()
      .Key("list")
      .BeginArray()
      .Integer(-3)
      .Number(0.1)
      .Number(1e-5)
      .Bool(true)
      .Null()
      .BeginObject()
      .EndObject()
      .EndArray()
      .Key("nan")
      .Number(std::numeric_limits<double>::quiet_NaN())
      .EndObject();
  const auto json = JsonReader::Parse(w.Text());
  ASSERT_TRUE(json) << w.Text();
  EXPECT_EQ((*json)["text"].text, awkward);
  EXPECT_EQ((*json)["empty"].type, Json::Type::Array);
  EXPECT_TRUE((*json)["empty"].items.empty());
  const Json& list = (*json)["list"];
  ASSERT_EQ(list.items.size(), 6u);
  EXPECT_EQ(list[0].number, -3);
  EXPECT_EQ(list[1].number, 0.1) << "numbers keep every digit";
  EXPECT_EQ(list[2].number, 1e-5);
  EXPECT_TRUE(list[3].boolean);
  EXPECT_EQ(list[4].type, Json::Type::Null);
  EXPECT_EQ(list[5].type, Json::Type::Object);
  EXPECT_EQ((*json)["nan"].type, Json::Type::Null) << "JSON has no NaN";
}

// The reader the command tests rely on must refuse what is not JSON, or a
// broken output would pass them.
TEST(JsonWriter, BytesThatAreNotUtf8AreEscaped) {
  // Latin-1 é, a UTF-8 µ, a lone continuation byte, an encoded surrogate.
  EXPECT_EQ(JsonQuoted("caf\xe9 \xc2\xb5 \x80 \xed\xa0\x80"),
            "\"caf\\u00E9 \xc2\xb5 \\u0080 \\u00ED\\u00A0\\u0080\"");
}

TEST(JsonReader, RefusesMalformedDocuments) {
  for (const char* bad : {"", "{", "{\"a\":1,}", "[1,]", "{\"a\" 1}", "{a:1}", "[01]", "[1.]",
                          "\"tab\there\"", "{\"a\":1}{", "[nul]", "{\"a\":1,\"a\":2}", "'x'"}) {
    EXPECT_FALSE(JsonReader::Parse(bad)) << bad;
  }
  for (const char* good : {"{}", "[]", " [1, -0.5e3, \"x\", null] \n", "{\"a\":{\"b\":[true]}}"}) {
    EXPECT_TRUE(JsonReader::Parse(good)) << good;
  }
}

}  // namespace
}  // namespace evm::cli
