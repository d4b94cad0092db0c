#include <gtest/gtest.h>

#include "platform/os/RegistryFormat.h"

namespace {

RegistryParseError ParseFails(std::string_view text) {
    RegistryTree tree;
    RegistryParseError error;
    EXPECT_FALSE(ParseRegistry(text, tree, error)) << text;
    return error;
}

}  // namespace

TEST(RegistryFormat, WritesReadableTypedText) {
    RegistryTree tree;
    tree.SetValue(HKEY_CLASSES_ROOT, "CLSID\\{2A249D65-5AE0-402F-A973-32C5BE45C87C}", "",
                  std::string("Lamina"));
    tree.SetValue(HKEY_CLASSES_ROOT,
                  "CLSID\\{2A249D65-5AE0-402F-A973-32C5BE45C87C}\\InprocServer32", "ThreadingModel",
                  std::string("Both"));
    tree.SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", "Merit", uint32_t{0x00200000});
    tree.SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", "Data",
                  std::vector<uint8_t>{0x01, 0xAB, 0x00});
    tree.SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", "Line", std::string("a\"b\\c\nd"));
    tree.Create(HKEY_CURRENT_USER, "Empty");

    EXPECT_EQ(
        FormatRegistry(tree),
        "ORVANTA-REGISTRY 1\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvanta]\n"
        "\"Merit\"=dword:00200000\n"
        "\"Data\"=hex:01ab00\n"
        "\"Line\"=sz:\"a\\\"b\\\\c\\nd\"\n"
        "\n[HKEY_CURRENT_USER\\Empty]\n"
        "\n[HKEY_CLASSES_ROOT\\CLSID]\n"
        "\n[HKEY_CLASSES_ROOT\\CLSID\\{2A249D65-5AE0-402F-A973-32C5BE45C87C}]\n"
        "@=sz:\"Lamina\"\n"
        "\n[HKEY_CLASSES_ROOT\\CLSID\\{2A249D65-5AE0-402F-A973-32C5BE45C87C}\\InprocServer32]\n"
        "\"ThreadingModel\"=sz:\"Both\"\n");
}

TEST(RegistryFormat, ReadsHandWrittenText) {
    RegistryTree tree;
    RegistryParseError error;
    ASSERT_TRUE(
        ParseRegistry("\n  ORVANTA-REGISTRY 1\r\n"
                      "# comment\n"
                      "; another\n"
                      "[hkey_current_user\\Software\\Orvanta]  \r\n"
                      "  @ = sz:\"x\"\n"
                      "\"Count\"= dword:2A\n"
                      "\"Bytes\" =hex:FFfe\n"
                      "\"None\"=hex:\n"
                      "[HKEY_CURRENT_USER\\Software\\Orvanta]\n"
                      "\"Count\"=dword:ffffffff\n"
                      "[HKEY_CLASSES_ROOT]\n"
                      "@=sz:\"root value\"\n",
                      tree, error))
        << error.line << ": " << error.message;
    EXPECT_EQ(tree.GetString(HKEY_CURRENT_USER, "Software\\Orvanta", ""), "x");
    // A key opened twice adds to the same key; the later value wins.
    EXPECT_EQ(tree.GetDword(HKEY_CURRENT_USER, "Software\\Orvanta", "Count"), 0xFFFFFFFFu);
    EXPECT_EQ(std::get<std::vector<uint8_t>>(
                  *tree.GetValue(HKEY_CURRENT_USER, "Software\\Orvanta", "Bytes")),
              (std::vector<uint8_t>{0xFF, 0xFE}));
    EXPECT_TRUE(std::get<std::vector<uint8_t>>(
                    *tree.GetValue(HKEY_CURRENT_USER, "Software\\Orvanta", "None"))
                    .empty());
    EXPECT_EQ(tree.GetString(HKEY_CLASSES_ROOT, "", ""), "root value");

    RegistryTree empty;
    EXPECT_TRUE(ParseRegistry("", empty, error));
    EXPECT_TRUE(ParseRegistry("\n\n  \n", empty, error));
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(RegistryFormat, EscapesKeyNamesAndNonUtf8Bytes) {
    RegistryTree tree;
    const std::string oddKey = "100% [odd]\tname\x01";
    const std::string invalid = "\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80|ok \xF0\x9F\x8E\xA5";
    tree.SetValue(HKEY_CURRENT_USER, oddKey, invalid, invalid);
    std::string text = FormatRegistry(tree);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\100%25 [odd]%09name%01]"), std::string::npos) << text;
    // Overlong, surrogate and out-of-range forms are escaped byte by byte; a real emoji is kept.
    EXPECT_NE(text.find("\\xc0\\xaf|\\xed\\xa0\\x80|\\xf4\\x90\\x80\\x80|ok \xF0\x9F\x8E\xA5"),
              std::string::npos)
        << text;

    RegistryTree back;
    RegistryParseError error;
    ASSERT_TRUE(ParseRegistry(text, back, error)) << error.message;
    EXPECT_EQ(back.GetString(HKEY_CURRENT_USER, oddKey, invalid), invalid);
    EXPECT_EQ(FormatRegistry(back), text);
}

TEST(RegistryFormat, ReportsTheLineOfEveryMalformedForm) {
    struct Case {
        const char* text;
        size_t line;
    };
    const Case cases[] = {
        {"something else\n", 1},
        {"ORVANTA-REGISTRY 2\n", 1},
        {"ORVANTA-REGISTRY 1\n@=sz:\"orphan\"\n", 2},
        {"ORVANTA-REGISTRY 1\n[HKEY_NOWHERE\\x]\n", 2},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\a\\\\b]\n", 2},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\a\n", 2},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\bad%4]\n", 2},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\n\"v\"=sz:\"open\n", 4},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=sz:\"x\" junk\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=sz:\"\\q\"\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=sz:\"\\x4\"\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=dword:123456789\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=dword:\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=dword:12g4\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=hex:abc\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=hex:zz\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\"=qword:1\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"v\" sz:\"x\"\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n\"\"=sz:\"x\"\n", 3},
        {"ORVANTA-REGISTRY 1\n[HKEY_CURRENT_USER\\k]\nplain=words\n", 3},
    };
    for (const Case& c : cases) {
        RegistryParseError error = ParseFails(c.text);
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_FALSE(error.message.empty()) << c.text;
    }
}

TEST(RegistryFormat, RefusesKeysNestedBeyondTheLimit) {
    std::string header = "[HKEY_CURRENT_USER";
    for (size_t i = 0; i < kMaxRegistryDepth; ++i) header += "\\k";
    RegistryTree tree;
    RegistryParseError error;
    EXPECT_TRUE(ParseRegistry("ORVANTA-REGISTRY 1\n" + header + "]\n", tree, error));
    EXPECT_EQ(ParseFails("ORVANTA-REGISTRY 1\n" + header + "\\k]\n").line, 2u);
}
