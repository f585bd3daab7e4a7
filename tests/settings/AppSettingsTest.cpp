// Reading and writing the settings: defaults, values of the wrong type, clamping, per-app rates.
#include <gtest/gtest.h>

#include <QJsonObject>

#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"

namespace mirano {
namespace {

TEST(AppSettings, NothingStoredWrongTypesAndUnknownNamesReadAsTheDefaultsAndWriteNothing) {
    fakes::MemoryDefaultsStore empty, wrong;
    wrong.values = {{"frameRate", "thirty"},   {"pipWidth", 250.5},         {"autoHideOnHover", 1},
                    {"triggerKey", 7},         {"perAppFrameRates", 3},     {"modifier", "hyper"},
                    {"pipPosition", "middle"}, {"focusBehavior", "explode"}};
    for (fakes::MemoryDefaultsStore* store : {&empty, &wrong}) {
        AppSettings s(*store);
        EXPECT_EQ(std::tuple(s.modifier(), s.triggerKey(), s.pipPosition(), s.autoHideOnHover(),
                             s.focusBehavior(), s.frameRate(), s.pipWidth()),
                  std::tuple(ModifierKey::fn, QString("P"), PiPPosition::bottomRight, false,
                             FocusBehavior::doNothing, 10, 320));
        EXPECT_TRUE(s.perAppFrameRates().isEmpty());
        EXPECT_TRUE(store->writes.isEmpty());
    }
    EXPECT_EQ(AppSettings(wrong).modifierRaw(), "hyper") << "an unknown name is kept as it is";
}

TEST(AppSettings, PerAppRatesAreClampedWrittenOneEntryAtATimeAndReadOnlyWhenAllAreIntegers) {
    using Rates = QMap<QString, int>;
    fakes::MemoryDefaultsStore store;
    AppSettings settings(store);
    settings.setFrameRate(0, "org.example.a");
    settings.setFrameRate(120, "org.example.b");
    EXPECT_EQ(settings.perAppFrameRates(), (Rates{{"org.example.a", 1}, {"org.example.b", 60}}));
    settings.setFrameRate(24, "org.example.a");
    EXPECT_EQ(settings.perAppFrameRates(), (Rates{{"org.example.a", 24}, {"org.example.b", 60}}));
    EXPECT_EQ(settings.frameRate(), 10) << "the global rate is not touched";

    // One value that is no integer empties the read, but a write keeps every other entry.
    store.values.insert("perAppFrameRates",
                        QJsonObject{{"org.a", 5}, {"org.b", 6}, {"bad", "fast"}});
    EXPECT_TRUE(settings.perAppFrameRates().isEmpty());
    settings.setFrameRate(7, "org.c");
    const QJsonObject kept{{"org.a", 5}, {"org.b", 6}, {"bad", "fast"}, {"org.c", 7}};
    EXPECT_EQ(store.values.value("perAppFrameRates").toObject(), kept);

    store.values.insert("perAppFrameRates", QJsonObject{{"a", 29.5}});
    EXPECT_TRUE(settings.perAppFrameRates().isEmpty()) << "a fraction is not an integer";
    store.values.insert("perAppFrameRates", "not a dictionary");
    EXPECT_TRUE(settings.perAppFrameRates().isEmpty());
    settings.setFrameRate(8, "d");
    EXPECT_EQ(settings.perAppFrameRates(), (Rates{{"d", 8}}));
}

TEST(AppSettings, AnOutOfRangeStoredWidthReadsAsTheNearestSaneWidthAndIsNotWrittenBack) {
    const std::pair<int, int> rows[] = {{100000, AppSettings::kMaxPipWidth},
                                        {-5, AppSettings::kMinPipWidth},
                                        {0, AppSettings::kMinPipWidth},
                                        {480, 480}};
    for (const auto& [stored, read] : rows) {
        fakes::MemoryDefaultsStore store;
        store.values.insert("pipWidth", stored);
        AppSettings settings(store);
        EXPECT_EQ(settings.pipWidth(), read) << stored;
        EXPECT_TRUE(store.writes.isEmpty());
        EXPECT_EQ(store.values.value("pipWidth").toInt(), stored);
    }
}

}  // namespace
}  // namespace mirano
