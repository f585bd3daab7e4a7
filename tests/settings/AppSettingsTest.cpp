// Reading and writing the settings: defaults, values of the wrong type, clamping, per-app rates.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "settings/AppSettings.h"
#include "tests/fakes/MemoryDefaultsStore.h"

namespace mirano {
namespace {

TEST(AppSettings, NothingStoredWrongTypesAndUnknownNamesReadAsTheDefaultsAndWriteNothing) {
    const QJsonObject wrong{{"frameRate", "thirty"},   {"pipWidth", 250.5},
                            {"autoHideOnHover", 1},    {"triggerKey", 7},
                            {"perAppFrameRates", 3},   {"modifier", "hyper"},
                            {"pipPosition", "middle"}, {"focusBehavior", "explode"}};
    // Stored values and the width they read as: an out-of-range one as the nearest sane width.
    const std::pair<QJsonObject, int> rows[] = {{{}, 320},
                                                {wrong, 320},
                                                {{{"pipWidth", 100000}}, AppSettings::kMaxPipWidth},
                                                {{{"pipWidth", -5}}, AppSettings::kMinPipWidth},
                                                {{{"pipWidth", 0}}, AppSettings::kMinPipWidth},
                                                {{{"pipWidth", 480}}, 480}};
    for (const auto& [values, width] : rows) {
        SCOPED_TRACE(QJsonDocument(values).toJson().toStdString());
        fakes::MemoryDefaultsStore store;
        store.values = values;
        AppSettings s(store);
        EXPECT_EQ(std::tuple(s.modifier(), s.triggerKey(), s.pipPosition(), s.autoHideOnHover(),
                             s.focusBehavior(), s.frameRate(), s.pipWidth()),
                  std::tuple(ModifierKey::fn, QString("P"), PiPPosition::bottomRight, false,
                             FocusBehavior::doNothing, 10, width));
        EXPECT_TRUE(s.perAppFrameRates().isEmpty());
        EXPECT_TRUE(store.writes.isEmpty()) << "nothing is written back";
        EXPECT_EQ(s.modifierRaw(), values == wrong ? "hyper" : "fn") << "an unknown name is kept";
    }
}

struct AppSettingsTest : ::testing::Test, fakes::MemorySettings {};

TEST_F(AppSettingsTest, PerAppRatesAreClampedWrittenOneEntryAtATimeAndReadOnlyWhenAllAreIntegers) {
    using Rates = QMap<QString, int>;
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
    store.values.insert("perAppFrameRates", "not a dictionary");  // is replaced by a write
    settings.setFrameRate(8, "d");
    EXPECT_EQ(settings.perAppFrameRates(), (Rates{{"d", 8}}));
}

}  // namespace
}  // namespace mirano
