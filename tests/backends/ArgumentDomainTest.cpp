#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ArgumentDomainStores.h"
#include "DefaultsOnlyStores.h"
#include "KeyFileStores.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

class ArgumentDomainTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pelmora-arguments-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::unique_ptr<SettingsStores> saved() {
        return std::make_unique<KeyFileStores>(folder_, [](const std::string&) {});
    }
    ArgumentDomainStores withArguments(SettingsDefaults arguments) {
        return ArgumentDomainStores(saved(), std::move(arguments));
    }
    void save(std::string_view key, std::int64_t value) {
        auto store = saved()->defaultsForModuleWithName("pelmora");
        store->setInteger(value, key);
        ASSERT_TRUE(store->synchronize());
    }
    std::string fileContents() {
        std::ifstream in(folder_ / "pelmora.conf");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
};

TEST_F(ArgumentDomainTest, GivenValuesWinOverSavedValuesAndDefaults) {
    save("numberOfThings", 12);
    auto stores = withArguments({{"numberOfThings", "3"},
                                 {"fillSpheres", "NO"},
                                 {"sphereRadii", "2.5"},
                                 {"numberOfThings", "4"}});
    auto store = stores.defaultsForModuleWithName("pelmora");
    store->registerDefaults({{"numberOfThings", "40"}, {"fillSpheres", "YES"}, {"sphereRadii", "10.0"},
                             {"chargeRange", "2"}});
    EXPECT_EQ(store->integerForKey("numberOfThings"), 4);  // the later pair wins
    EXPECT_FALSE(store->boolForKey("fillSpheres"));
    EXPECT_EQ(store->floatForKey("sphereRadii"), 2.5f);
    EXPECT_EQ(store->integerForKey("chargeRange"), 2);
}

TEST_F(ArgumentDomainTest, GivenValuesAreNeverSavedButWritesStill) {
    auto stores = withArguments({{"numberOfThings", "3"}, {"labelsEnabled", "YES"}});
    auto store = stores.defaultsForModuleWithName("pelmora");
    store->setInteger(20, "numberOfThings");
    store->setInteger(5, "chargeRange");
    EXPECT_EQ(store->integerForKey("numberOfThings"), 3);
    ASSERT_TRUE(store->synchronize()) << store->lastError();

    const std::string contents = fileContents();
    EXPECT_NE(contents.find("numberOfThings=20"), std::string::npos);
    EXPECT_NE(contents.find("chargeRange=5"), std::string::npos);
    EXPECT_EQ(contents.find("labelsEnabled"), std::string::npos);
    EXPECT_EQ(saved()->defaultsForModuleWithName("pelmora")->integerForKey("numberOfThings"), 20);
}

// The view saves all of its fields at once; the ones still holding the value
// given for this run must not turn that run's override into a saved setting.
TEST_F(ArgumentDomainTest, WritingBackTheGivenValueKeepsTheSavedOne) {
    save("numberOfThings", 12);
    auto stores = withArguments({{"numberOfThings", "3"}, {"labelsEnabled", "YES"}, {"sphereRadii", "-0.0"}});
    auto store = stores.defaultsForModuleWithName("pelmora");
    store->setInteger(3, "numberOfThings");
    store->setBool(true, "labelsEnabled");
    store->setFloat(0.0F, "sphereRadii");  // not the given -0.0: a change the user made
    ASSERT_TRUE(store->synchronize()) << store->lastError();
    const std::string contents = fileContents();
    EXPECT_NE(contents.find("numberOfThings=12"), std::string::npos) << contents;
    EXPECT_EQ(contents.find("labelsEnabled"), std::string::npos) << contents;
    EXPECT_NE(contents.find("sphereRadii=0"), std::string::npos) << contents;
}

TEST_F(ArgumentDomainTest, SaveFailuresComeThrough) {
    ArgumentDomainStores stores(saved(), {{"numberOfThings", "3"}});
    auto store = stores.defaultsForModuleWithName("a/b");
    store->setInteger(1, "chargeRange");
    EXPECT_FALSE(store->synchronize());
    EXPECT_NE(store->lastError().find("invalid module name"), std::string::npos);
}

// XScreenSaver's hack: the given pairs over the registered defaults, and no
// file read or written whatever the module.
TEST_F(ArgumentDomainTest, OverDefaultsOnlyTheGivenPairsAndTheDefaultsAreAllThereIs) {
    save("numberOfThings", 3);
    std::vector<std::string> warnings;
    ArgumentDomainStores stores(
        std::make_unique<DefaultsOnlyStores>([&](const std::string& warning) { warnings.push_back(warning); }),
        SettingsDefaults{{"labelsEnabled", "NO"}, {"chargeRange", "4"}});
    auto store = stores.defaultsForModuleWithName("pelmora");
    store->registerDefaults({{"numberOfThings", "40"}, {"labelsEnabled", "YES"}, {"chargeRange", "2"}});
    EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
    EXPECT_FALSE(store->boolForKey("labelsEnabled"));
    EXPECT_EQ(store->integerForKey("chargeRange"), 4);
    store->setInteger(9, "numberOfThings");
    EXPECT_FALSE(store->synchronize());
    EXPECT_NE(store->lastError().find("command line"), std::string::npos) << store->lastError();
    EXPECT_EQ(fileContents().find("numberOfThings=9"), std::string::npos) << fileContents();
    EXPECT_NE(fileContents().find("numberOfThings=3"), std::string::npos) << fileContents();
    EXPECT_TRUE(warnings.empty());
}

TEST(ArgumentDomainValidation, AcceptsKnownKeysWithValuesOfTheirType) {
    EXPECT_EQ(ArgumentDomainStores::validate({}), "");
    EXPECT_EQ(ArgumentDomainStores::validate({{"numberOfThings", "-7"},
                                              {"fillSpheres", "true"},
                                              {"speedDivisor", "0"},
                                              {"sphereRadii", "1e-3"}}),
              "");
}

TEST(ArgumentDomainValidation, NamesTheUnknownKey) {
    const std::string message = ArgumentDomainStores::validate({{"fillSpheres", "1"}, {"numberOfThing", "4"}});
    EXPECT_NE(message.find("unknown setting \"numberOfThing\""), std::string::npos) << message;
    EXPECT_NE(message.find("numberOfThings"), std::string::npos) << message;
}

TEST(ArgumentDomainValidation, NamesTheKeyAndTheValueOfTheWrongType) {
    const struct {
        const char* key;
        const char* value;
        const char* type;
    } cases[] = {{"numberOfThings", "7.9", "a whole number"}, {"chargeRange", "abc", "a whole number"},
                 {"sphereRadii", "nan", "a number"},            {"speedDivisor", "1e39", "a number"},
                 {"labelsEnabled", "maybe", "YES or NO"}};
    for (const auto& bad : cases) {
        const std::string message = ArgumentDomainStores::validate({{bad.key, bad.value}});
        EXPECT_NE(message.find(std::string("-") + bad.key), std::string::npos) << message;
        EXPECT_NE(message.find(std::string("\"") + bad.value + "\""), std::string::npos) << message;
        EXPECT_NE(message.find(bad.type), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos);
    }
}

TEST(ArgumentDomainValidation, TypedIntegersMustFitThirtyTwoBits) {
    for (const char* value : {"4294967336", "2147483648", "-2147483649", "4294967298", "9223372036854775807"}) {
        for (const char* key : {"numberOfThings", "chargeRange"}) {
            const std::string message = ArgumentDomainStores::validate({{key, value}});
            EXPECT_NE(message.find(std::string("-") + key + " \"" + value + "\""), std::string::npos) << message;
            EXPECT_NE(message.find("2147483647"), std::string::npos) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos);
        }
    }
    EXPECT_EQ(ArgumentDomainStores::validate({{"numberOfThings", "2147483647"}, {"chargeRange", "-2147483648"}}), "");
}

}  // namespace
}  // namespace pelmora
