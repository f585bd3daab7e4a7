// Which pictures of a stream are shown at a frame rate below the stream's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wayland/pipewire/FramePacer.h"

using namespace mirano::wayland;

TEST(FramePacer, OnePicturePerIntervalOverTimeWhateverTheJitter) {
    // What: the interval; the pictures' arrivals in milliseconds; one digit per arrival, 1 shown.
    // clang-format off
    const std::tuple<const char*, double, std::vector<double>, std::string> cases[] = {
        {"without an interval every picture shows", 0, {0, 1, 2}, "111"},
        {"60 fps at 60 fps: every picture, early or late", 1 / 60.0,
         {0, 16.4, 33.5, 49.8, 66.9, 83.2}, "111111"},
        {"120 fps at 60 fps: every other picture", 1 / 60.0,
         {0, 8.3, 16.7, 25, 33.3, 41.7, 50}, "1010101"},
        {"after a stall the count starts afresh, without a burst", 0.1,
         {0, 500, 520, 600, 690}, "11011"},
    };
    // clang-format on
    for (const auto& [what, interval, arrivals, expected] : cases) {
        FramePacer pacer;
        pacer.setInterval(interval);
        std::string shown;
        for (const double ms : arrivals) {
            const FramePacer::Clock::time_point now{
                std::chrono::duration_cast<FramePacer::Clock::duration>(
                    std::chrono::duration<double, std::milli>(ms))};
            const bool due = pacer.isDue(now);
            if (due) pacer.shown(now);
            shown += due ? '1' : '0';
        }
        EXPECT_EQ(shown, expected) << what;
    }
}
