// Tests of the position bar's look and geometry: the scene it names at the
// timeline's boundaries, the time a click on it asks for, and its marks kept
// within the bottom strip of the picture.
#include "PositionBar.h"
#include "TheShow.h"
#include "host.h"

#include <gtest/gtest.h>

namespace {

class PositionBar : public ::testing::Test {
protected:
    void SetUp() override { host::Install(host::TheShow()); }
};

TEST_F(PositionBar, NamesTheSceneTheTimelineDrawsWithEachBoundaryTheLaterScenes)
{
    EXPECT_EQ(host::SceneLabel(0.0), "scene 1");
    EXPECT_EQ(host::SceneLabel(40.49), "scene 1");
    EXPECT_EQ(host::SceneLabel(40.5), "scene 2");
    EXPECT_EQ(host::SceneLabel(169.5), "scene 5");
    EXPECT_EQ(host::SceneLabel(204.44), "scene 5");
    EXPECT_EQ(host::SceneLabel(204.45), "fade");
    EXPECT_EQ(host::ClockText(0.0), "0:00");
    EXPECT_EQ(host::ClockText(69.99), "1:09");
    EXPECT_EQ(host::ClockText(210.0), "3:30");
}

TEST_F(PositionBar, AClickOnTheBarAsksForTheTimeUnderThePointer)
{
    const host::ShowFacts& show = host::Show();
    double seconds = -1.0;
    // The track runs between 12-pixel margins of the 800-pixel picture.
    ASSERT_TRUE(host::PositionBarTarget(400.0, show.height - 5.0, seconds));
    EXPECT_NEAR(seconds, show.end / 2.0, 1e-9);
    ASSERT_TRUE(host::PositionBarTarget(3.0, show.height - 1.0, seconds));
    EXPECT_EQ(seconds, 0.0) << "left of the track is the beginning";
    ASSERT_TRUE(host::PositionBarTarget(show.width, show.height - 30.0, seconds));
    EXPECT_EQ(seconds, show.end) << "right of the track is the end";
    EXPECT_FALSE(host::PositionBarTarget(400.0, show.height - 33.0, seconds)) << "above the bar";
    EXPECT_FALSE(host::PositionBarTarget(-1.0, show.height - 5.0, seconds));
    EXPECT_FALSE(host::PositionBarTarget(400.0, show.height + 1.0, seconds));
}

TEST_F(PositionBar, ItsMarksStayInTheBottomStripAndThePlayedPartFollowsThePosition)
{
    const host::ShowFacts& show = host::Show();
    for (double t : {0.0, 105.0, 210.0, 500.0}) {
        const auto rects = host::PositionBarRects(t, true);
        ASSERT_GT(rects.size(), 40u) << "the strip, the text and the track";
        for (const auto& r : rects) {
            EXPECT_GE(r.x, 0) << t;
            EXPECT_LE(r.x + r.width, show.width) << t;
            EXPECT_GE(r.y, show.height - 32) << t;
            EXPECT_LE(r.y + r.height, show.height) << t;
        }
    }
    // The played part is the mark before the knob: none at 0, half the track at 105 s.
    const auto start = host::PositionBarRects(0.0, false);
    const auto middle = host::PositionBarRects(105.0, false);
    EXPECT_EQ(start[start.size() - 2].width, 0);
    EXPECT_EQ(middle[middle.size() - 2].width, (show.width - 24) / 2);
    EXPECT_LT(start.size(), host::PositionBarRects(0.0, true).size()) << "paused adds its word";
}

}  // namespace
