#include "RegistryStore.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "RegistryStores.h"
#include "SettingsSchema.h"
#include "WideText.h"

namespace pelmora {
namespace {

// Each test works below a key of its own in HKCU and removes it afterwards.
class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = L"Software\\PelmoraTests\\" + widen(std::to_string(GetCurrentProcessId()) + "-" + info->name());
        RegDeleteTreeW(HKEY_CURRENT_USER, folder.c_str());
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, folder.c_str()); }

    RegistryStores stores() {
        return RegistryStores([this](const std::string& message) { messages.push_back(message); }, HKEY_CURRENT_USER,
                              folder, "HKCU");
    }

    std::unique_ptr<SettingsStore> open() {
        auto store = stores().defaultsForModuleWithName("pelmora");
        SettingsDefaults defaults;
        for (const Setting& entry : kSettings) {
            defaults.emplace_back(std::string(entry.key), std::string(entry.defaultText));
        }
        store->registerDefaults(defaults);
        return store;
    }

    void put(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        const std::wstring path = folder + L"\\pelmora";
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    void putText(const wchar_t* name, const std::wstring& text) {
        put(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    std::wstring savedText(const wchar_t* name) {
        wchar_t buffer[256] = {};
        DWORD size = sizeof(buffer) - sizeof(wchar_t);
        const std::wstring path = folder + L"\\pelmora";
        DWORD type = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            return L"<none>";
        }
        return buffer;
    }

    std::wstring folder;
    std::vector<std::string> messages;
};

TEST_F(RegistryStoreTest, AKeyThatDoesNotExistYieldsTheRegisteredDefaults) {
    auto store = open();
    EXPECT_EQ(store->floatForKey("localFieldDisplay"), 400.0F);
    EXPECT_TRUE(store->boolForKey("showLocalFields"));
    EXPECT_FALSE(store->boolForKey("bouncingEnabled"));
    EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
    EXPECT_EQ(store->floatForKey("sphereRadii"), 10.0F);
    EXPECT_TRUE(messages.empty());
    // Reading creates nothing.
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, (folder + L"\\pelmora").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, SavedValuesAreTextAndReadBackBitForBit) {
    const float tiny = std::bit_cast<float>(std::uint32_t{1});
    {
        auto store = open();
        store->setBool(false, "showLocalFields");
        store->setFloat(0.1F, "speedDivisor");
        store->setFloat(tiny, "sphereRadii");
        store->setFloat(-0.0F, "electricFieldStrength");
        store->setInteger(-5000000000LL, "numberOfThings");
        // Writes are seen at once by the same handle, before they are saved.
        EXPECT_EQ(store->floatForKey("speedDivisor"), 0.1F);
        EXPECT_EQ(savedText(L"speedDivisor"), L"<none>");
        ASSERT_TRUE(store->synchronize()) << store->lastError();
    }
    EXPECT_EQ(savedText(L"showLocalFields"), L"NO");
    EXPECT_EQ(savedText(L"speedDivisor"), L"0.1");
    EXPECT_EQ(savedText(L"numberOfThings"), L"-5000000000");
    auto store = open();
    EXPECT_FALSE(store->boolForKey("showLocalFields"));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(store->floatForKey("sphereRadii")), 1U);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(store->floatForKey("electricFieldStrength")),
              std::bit_cast<std::uint32_t>(-0.0F));
    EXPECT_EQ(store->integerForKey("numberOfThings"), -5000000000LL);
    EXPECT_TRUE(messages.empty());
}

TEST_F(RegistryStoreTest, AValueOfTheWrongKindReadsAsItsDefaultWithOneMessage) {
    putText(L"numberOfThings", L"lots");
    const BYTE binary[] = {1, 2, 3};
    put(L"fillSpheres", REG_BINARY, binary, sizeof(binary));
    auto store = open();
    EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
    EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
    EXPECT_TRUE(store->boolForKey("fillSpheres"));
    ASSERT_EQ(messages.size(), 2U);
    const std::string where = "HKCU\\" + narrow(folder) + "\\pelmora";
    EXPECT_EQ(messages[0], where + ": numberOfThings = \"lots\" is not a whole number; using its default \"40\"");
    EXPECT_EQ(messages[1],
              where + ": fillSpheres = \"<a registry value of type 3>\" is not YES or NO; using its default \"YES\"");
    // The bad value stays until the settings are saved.
    EXPECT_EQ(savedText(L"numberOfThings"), L"lots");
}

// Stands in for a value that another program makes longer between the
// query of its size and the read of its data: the first read is refused as
// too small, with the new size.
LSTATUS WINAPI growingValue(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    static bool grown = false;
    if (data != nullptr && !grown) {
        grown = true;
        *size += 2 * sizeof(wchar_t);
        return ERROR_MORE_DATA;
    }
    return RegQueryValueExW(key, name, reserved, type, data, size);
}

TEST_F(RegistryStoreTest, AValueThatGrewWhileItWasReadIsReadAgainNotLost) {
    putText(L"numberOfThings", L"12");
    RegistryStore store(HKEY_CURRENT_USER, folder + L"\\pelmora", "HKCU",
                        [this](const std::string& message) { messages.push_back(message); }, growingValue);
    store.registerDefaults({{"numberOfThings", "40"}});
    EXPECT_EQ(store.integerForKey("numberOfThings"), 12);
    EXPECT_TRUE(messages.empty());
}

TEST_F(RegistryStoreTest, NumbersMadeByHandAsDwordsReadAsTheirValue) {
    const DWORD count = 12;
    const std::uint64_t range = 3;
    put(L"numberOfThings", REG_DWORD, &count, sizeof(count));
    put(L"chargeRange", REG_QWORD, &range, sizeof(range));
    auto store = open();
    EXPECT_EQ(store->integerForKey("numberOfThings"), 12);
    EXPECT_EQ(store->integerForKey("chargeRange"), 3);
    EXPECT_TRUE(messages.empty());
}

TEST_F(RegistryStoreTest, AKeyThatCannotBeWrittenFailsTheSaveAndSaysWhy) {
    // A key that lasts only until the next boot can have no lasting keys
    // below it, so the store's key cannot be made.
    HKEY volatileRoot = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, folder.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &volatileRoot, nullptr),
              ERROR_SUCCESS);
    RegistryStores locked([this](const std::string& message) { messages.push_back(message); }, volatileRoot,
                          L"Locked", "HKCU\\test");
    auto store = locked.defaultsForModuleWithName("pelmora");
    store->setInteger(3, "chargeRange");
    EXPECT_FALSE(store->synchronize());
    EXPECT_EQ(store->lastError().rfind("cannot save settings in HKCU\\test\\Locked\\pelmora: ", 0), 0U)
        << store->lastError();
    RegCloseKey(volatileRoot);
}

TEST_F(RegistryStoreTest, AModuleNameThatIsNoKeyNameRunsOnDefaultsAndSavesNothing) {
    std::string why;
    EXPECT_FALSE(RegistryStores::validModuleName("a\\b", &why));
    EXPECT_EQ(why, "invalid module name \"a\\\\b\": it contains a backslash");
    EXPECT_FALSE(RegistryStores::validModuleName("", nullptr));
    EXPECT_FALSE(RegistryStores::validModuleName(std::string(201, 'x'), nullptr));
    EXPECT_TRUE(RegistryStores::validModuleName("pelmora", nullptr));
    auto store = stores().defaultsForModuleWithName("a\\b");
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0], "invalid module name \"a\\\\b\": it contains a backslash; settings are not loaded or saved");
    store->setInteger(3, "chargeRange");
    EXPECT_EQ(store->integerForKey("chargeRange"), 3);
    EXPECT_FALSE(store->synchronize());
}

}  // namespace
}  // namespace pelmora
