#include "report/json_writer.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace hulvex {
namespace {

TEST(JsonWriter, NestedDocumentParsesBack) {
  JsonWriter j;
  j.BeginObject();
  j.Key("a").Integer(-3);
  j.Key("quote \" and \\").String("line\r\nnext\x01");
  j.Key("list").BeginArray().Number(0.1).Null().Bool(true).BeginObject().Key("x").Number(2).EndObject().EndArray();
  j.Key("empty").BeginObject().EndObject();
  j.Key("text8").Text8("\xE9");
  j.EndObject();
  const auto doc = nlohmann::json::parse(j.str());
  EXPECT_EQ(doc["a"], -3);
  EXPECT_EQ(doc["quote \" and \\"], "line\r\nnext\x01");
  EXPECT_EQ(doc["list"][0].get<double>(), 0.1);
  EXPECT_TRUE(doc["list"][1].is_null());
  EXPECT_EQ(doc["list"][3]["x"], 2);
  EXPECT_TRUE(doc["empty"].empty());
  EXPECT_EQ(doc["text8"], "\xC3\xA9");
  EXPECT_EQ(j.str().back(), '\n');
}

}  // namespace
}  // namespace hulvex
