#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

#include "platform/os/RegistryStore.h"
#include "platform/os/RegistryTree.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TestEnvironment;

namespace {
constexpr const char* kKey = "Software\\Orvanta\\Test";

// A second store object on the same file, so that every read below comes from the file.
RegistryStore Reopened() {
    return RegistryStore(TestEnvironment::Current().RegistryFile());
}
}  // namespace

TEST(RegistryStore, DefaultPathFollowsTheEnvironmentAtEachCall) {
    EXPECT_EQ(RegistryStore::Default().Path(), TestEnvironment::Current().RegistryFile());
    fs::path config = TestEnvironment::Current().ConfigDir();
    unsetenv("ORVANTA_REGISTRY");
    EXPECT_EQ(RegistryStore::DefaultPath(), config / "orvanta" / "registry");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(RegistryStore::DefaultPath(), fs::path("/home/someone/.config/orvanta/registry"));
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(RegistryStore::DefaultPath(), fs::path("/home/someone/.config/orvanta/registry"));
    setenv("ORVANTA_REGISTRY", "/elsewhere/reg", 1);
    EXPECT_EQ(RegistryStore::Default().Path(), fs::path("/elsewhere/reg"));
    EXPECT_EQ(RegistryStore::Default().LockPath(), fs::path("/elsewhere/reg.lock"));
}

TEST(RegistryStore, EveryTypeSurvivesTheFile) {
    RegistryStore store = RegistryStore::Default();
    const std::string awkward =
        "a=b \"quoted\" back\\slash\nnew line\r\ttab \x01 \x7F end \xC3\xA9\xE2\x82\xAC";
    const std::string notUtf8 = std::string("\xFF\xC3(\x80", 4) + std::string(1, '\0') + "x";
    std::vector<uint8_t> allBytes(256);
    for (int i = 0; i < 256; ++i) allBytes[i] = static_cast<uint8_t>(i);

    ASSERT_EQ(store.SetString(HKEY_LOCAL_MACHINE, kKey, "", "default text"), S_OK);
    ASSERT_EQ(store.SetString(HKEY_LOCAL_MACHINE, kKey, "Awkward", awkward), S_OK);
    ASSERT_EQ(store.SetString(HKEY_LOCAL_MACHINE, kKey, "Empty", ""), S_OK);
    ASSERT_EQ(store.SetString(HKEY_LOCAL_MACHINE, kKey, "Raw", notUtf8), S_OK);
    ASSERT_EQ(store.SetString(HKEY_LOCAL_MACHINE, kKey, "na=me \"with\" \\ and\nline", "v"), S_OK);
    ASSERT_EQ(store.SetDword(HKEY_LOCAL_MACHINE, kKey, "Zero", 0), S_OK);
    ASSERT_EQ(store.SetDword(HKEY_LOCAL_MACHINE, kKey, "Max", 0xFFFFFFFFu), S_OK);
    ASSERT_EQ(store.SetBinary(HKEY_LOCAL_MACHINE, kKey, "AllBytes", allBytes), S_OK);
    ASSERT_EQ(store.SetBinary(HKEY_LOCAL_MACHINE, kKey, "NoBytes", {}), S_OK);

    RegistryStore again = Reopened();
    EXPECT_EQ(again.GetString(HKEY_LOCAL_MACHINE, kKey, ""), "default text");
    EXPECT_EQ(again.GetString(HKEY_LOCAL_MACHINE, kKey, "Awkward"), awkward);
    EXPECT_EQ(again.GetString(HKEY_LOCAL_MACHINE, kKey, "Empty"), "");
    EXPECT_EQ(again.GetString(HKEY_LOCAL_MACHINE, kKey, "Raw"), notUtf8);
    EXPECT_EQ(again.GetString(HKEY_LOCAL_MACHINE, kKey, "na=me \"with\" \\ and\nline"), "v");
    EXPECT_EQ(again.GetDword(HKEY_LOCAL_MACHINE, kKey, "Zero"), 0u);
    EXPECT_EQ(again.GetDword(HKEY_LOCAL_MACHINE, kKey, "Max"), 0xFFFFFFFFu);
    EXPECT_EQ(again.GetBinary(HKEY_LOCAL_MACHINE, kKey, "AllBytes"), allBytes);
    EXPECT_EQ(again.GetBinary(HKEY_LOCAL_MACHINE, kKey, "NoBytes"), std::vector<uint8_t>{});

    // A typed getter does not convert: the wrong type reads as missing.
    EXPECT_FALSE(again.GetDword(HKEY_LOCAL_MACHINE, kKey, "Awkward"));
    EXPECT_FALSE(again.GetString(HKEY_LOCAL_MACHINE, kKey, "Zero"));
    EXPECT_FALSE(again.GetBinary(HKEY_LOCAL_MACHINE, kKey, "Empty"));
    EXPECT_TRUE(std::holds_alternative<uint32_t>(*again.GetValue(HKEY_LOCAL_MACHINE, kKey, "Max")));
    // The roots are separate trees.
    EXPECT_FALSE(again.KeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_FALSE(again.GetString(HKEY_CLASSES_ROOT, kKey, ""));

    // Replacing a value changes its type too.
    ASSERT_EQ(store.SetDword(HKEY_LOCAL_MACHINE, kKey, "Awkward", 7), S_OK);
    EXPECT_EQ(Reopened().GetDword(HKEY_LOCAL_MACHINE, kKey, "Awkward"), 7u);
}

TEST(RegistryStore, NamesAreCaseInsensitiveAndKeepTheirFirstCase) {
    RegistryStore store = RegistryStore::Default();
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, "CLSID\\{ABC}\\InprocServer32", "ThreadingModel",
                              "Both"),
              S_OK);
    EXPECT_EQ(store.GetString(HKEY_CLASSES_ROOT, "clsid\\{abc}\\inprocserver32", "threadingmodel"),
              "Both");
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{abc}"));

    // Writing through another spelling changes the same key and value and keeps the old case.
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, "Clsid\\{Abc}\\INPROCSERVER32", "THREADINGMODEL",
                              "Free"),
              S_OK);
    RegistryStore again = Reopened();
    EXPECT_EQ(again.EnumSubKeys(HKEY_CLASSES_ROOT, ""), std::vector<std::string>{"CLSID"});
    EXPECT_EQ(again.EnumSubKeys(HKEY_CLASSES_ROOT, "CLSID"), std::vector<std::string>{"{ABC}"});
    EXPECT_EQ(again.EnumValueNames(HKEY_CLASSES_ROOT, "CLSID\\{ABC}\\InprocServer32"),
              std::vector<std::string>{"ThreadingModel"});
    EXPECT_EQ(again.GetString(HKEY_CLASSES_ROOT, "CLSID\\{ABC}\\InprocServer32", "ThreadingModel"),
              "Free");

    // Only ASCII letters fold: other bytes must match exactly.
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, "Caf\xC3\xA9", "", "lower"), S_OK);
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, "CAF\xC3\x89"));
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, "CAF\xC3\xA9"));
}

TEST(RegistryStore, EnumeratesKeysInNameOrderAndValuesInSetOrder) {
    RegistryStore store = RegistryStore::Default();
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"}) {
        ASSERT_EQ(store.CreateKey(HKEY_CURRENT_USER, std::string(kKey) + "\\" + name), S_OK);
    }
    for (const char* name : {"z", "a", "m"})
        ASSERT_EQ(store.SetDword(HKEY_CURRENT_USER, kKey, name, 1), S_OK);
    RegistryStore again = Reopened();
    EXPECT_EQ(again.EnumSubKeys(HKEY_CURRENT_USER, kKey),
              (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma"}));
    EXPECT_EQ(again.EnumValueNames(HKEY_CURRENT_USER, kKey),
              (std::vector<std::string>{"z", "a", "m"}));
    EXPECT_TRUE(again.EnumSubKeys(HKEY_CURRENT_USER, "Software\\Missing").empty());
    // An empty key survives the file.
    EXPECT_TRUE(again.KeyExists(HKEY_CURRENT_USER, std::string(kKey) + "\\gamma"));
    EXPECT_TRUE(again.EnumSubKeys(HKEY_CURRENT_USER, std::string(kKey) + "\\gamma").empty());
}

TEST(RegistryStore, DeleteTreeRemovesTheWholeSubtreeOnly) {
    RegistryStore store = RegistryStore::Default();
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, "CLSID\\{A}\\InprocServer32", "", "/a.so"), S_OK);
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, "CLSID\\{A}\\ProgID", "", "A.1"), S_OK);
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, "CLSID\\{AB}", "", "neighbour"), S_OK);
    ASSERT_EQ(store.SetString(HKEY_CLASSES_ROOT, "CLSID\\{A}", "", "class A"), S_OK);

    EXPECT_EQ(store.DeleteTree(HKEY_CLASSES_ROOT, "clsid\\{a}"), S_OK);
    RegistryStore again = Reopened();
    EXPECT_FALSE(again.KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{A}"));
    EXPECT_FALSE(again.KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{A}\\InprocServer32"));
    EXPECT_EQ(again.GetString(HKEY_CLASSES_ROOT, "CLSID\\{AB}", ""), "neighbour");
    // Gone already: still S_OK. A root cannot be deleted.
    EXPECT_EQ(store.DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\{A}"), S_OK);
    EXPECT_EQ(store.DeleteTree(HKEY_CLASSES_ROOT, ""), E_INVALIDARG);
    EXPECT_TRUE(again.KeyExists(HKEY_CLASSES_ROOT, "CLSID"));

    EXPECT_EQ(store.DeleteValue(HKEY_CLASSES_ROOT, "CLSID\\{AB}", ""), S_OK);
    EXPECT_EQ(store.DeleteValue(HKEY_CLASSES_ROOT, "CLSID\\{AB}", ""), S_FALSE);
    EXPECT_FALSE(Reopened().GetValue(HKEY_CLASSES_ROOT, "CLSID\\{AB}", ""));
}

TEST(RegistryStore, RefusesMalformedPathsWithoutWriting) {
    RegistryStore store = RegistryStore::Default();
    for (const char* bad : {"\\Leading", "Trailing\\", "Double\\\\Slash", "\\"}) {
        EXPECT_EQ(store.SetString(HKEY_CURRENT_USER, bad, "", "x"), E_INVALIDARG) << bad;
        EXPECT_EQ(store.CreateKey(HKEY_CURRENT_USER, bad), E_INVALIDARG) << bad;
        EXPECT_EQ(store.DeleteTree(HKEY_CURRENT_USER, bad), E_INVALIDARG) << bad;
    }
    std::string deep;
    for (size_t i = 0; i <= kMaxRegistryDepth; ++i) deep += i ? "\\k" : "k";
    EXPECT_EQ(store.CreateKey(HKEY_CURRENT_USER, deep), E_INVALIDARG);
    EXPECT_FALSE(fs::exists(store.Path()));
}

TEST(RegistryStore, UpdateAppliesAllChangesOrNone) {
    RegistryStore store = RegistryStore::Default();
    ASSERT_EQ(store.SetDword(HKEY_CURRENT_USER, kKey, "Balance", 100), S_OK);
    const std::string before = ReadFile(store.Path());

    // A failing change writes nothing, even after touching the tree.
    HRESULT hr = store.Update([](RegistryTree& tree) {
        tree.SetValue(HKEY_CURRENT_USER, kKey, "Balance", uint32_t{0});
        tree.SetValue(HKEY_CURRENT_USER, kKey, "Other", uint32_t{100});
        return E_ABORT;
    });
    EXPECT_EQ(hr, E_ABORT);
    EXPECT_EQ(ReadFile(store.Path()), before);
    EXPECT_EQ(store.Update([](RegistryTree& tree) {
        tree.DeleteTree(HKEY_CURRENT_USER, "Software");
        return S_FALSE;
    }),
              S_FALSE);
    EXPECT_EQ(ReadFile(store.Path()), before);

    // An exception leaves the file as it was and the lock free.
    EXPECT_THROW(store.Update([](RegistryTree& tree) -> HRESULT {
        tree.DeleteTree(HKEY_CURRENT_USER, "Software");
        throw std::runtime_error("mid-change");
    }),
                 std::runtime_error);
    EXPECT_EQ(ReadFile(store.Path()), before);

    // A committed change is seen whole; the callback sees the newest file.
    ASSERT_EQ(store.Update([](RegistryTree& tree) {
        uint32_t balance = tree.GetDword(HKEY_CURRENT_USER, kKey, "Balance").value_or(0);
        tree.SetValue(HKEY_CURRENT_USER, kKey, "Balance", balance - 30);
        tree.SetValue(HKEY_CURRENT_USER, kKey, "Other", uint32_t{30});
        return S_OK;
    }),
              S_OK);
    bool seen = false;
    ASSERT_EQ(Reopened().Read([&](const RegistryTree& tree) {
        EXPECT_EQ(tree.GetDword(HKEY_CURRENT_USER, kKey, "Balance"), 70u);
        EXPECT_EQ(tree.GetDword(HKEY_CURRENT_USER, kKey, "Other"), 30u);
        seen = true;
    }),
              S_OK);
    EXPECT_TRUE(seen);

    // No temporary file is left beside the store.
    for (const auto& entry : fs::directory_iterator(store.Path().parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
            << entry.path();
    }
}

TEST(RegistryStore, CallbacksCannotReenterTheStore) {
    RegistryStore store = RegistryStore::Default();
    HRESULT inner = S_OK;
    testing::internal::CaptureStderr();
    HRESULT outer = store.Update([&](RegistryTree&) {
        inner = store.SetDword(HKEY_CURRENT_USER, kKey, "Nested", 1);
        return S_OK;
    });
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(outer, S_OK);
    EXPECT_EQ(inner, E_UNEXPECTED);
    EXPECT_NE(message.find("inside its own callback"), std::string::npos);
    EXPECT_FALSE(store.GetDword(HKEY_CURRENT_USER, kKey, "Nested"));
}

TEST(RegistryStore, MissingFileAndFolderReadAsEmpty) {
    RegistryStore store(TestEnvironment::Current().Dir() / "no" / "such" / "registry");
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_TRUE(store.EnumSubKeys(HKEY_CURRENT_USER, "").empty());
    EXPECT_FALSE(fs::exists(store.Path().parent_path()));
    // A write creates the folders.
    ASSERT_EQ(store.SetString(HKEY_CURRENT_USER, "Software", "", "x"), S_OK);
    EXPECT_EQ(store.GetString(HKEY_CURRENT_USER, "Software", ""), "x");
    EXPECT_TRUE(fs::exists(store.LockPath()));
    EXPECT_EQ(fs::status(store.Path()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(RegistryStore, AStoreInAFileOfAFolderPathFailsWithTheSystemError) {
    fs::path blocker = TestEnvironment::Current().Dir() / "plain-file";
    { std::ofstream(blocker) << "x"; }
    RegistryStore store(blocker / "registry");
    EXPECT_EQ(store.SetDword(HKEY_CURRENT_USER, "Software", "x", 1), HResultFromErrno(ENOTDIR));
    EXPECT_EQ(ReadFile(blocker), "x");
}
