// Toolkit services the back-end relies on: timers, deferred work, option menus, attributes,
// tooltips and the editor frame's key handling.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/gui/GuiHarness.h"

namespace qrv::test {
namespace {

TEST(RunLoop, TimersFireEveryIntervalAndDeferredWorkRunsOncePerKey) {
  tk::RunLoop& loop = tk::RunLoop::instance();
  loop.useManualClock(true);
  int ticks = 0;
  {
    tk::Timer timer([&](tk::Timer*) { ++ticks; }, 33);
    loop.advance(100);
    EXPECT_EQ(ticks, 3);
    timer.stop();
    loop.advance(100);
    EXPECT_EQ(ticks, 3);
    timer.start();
    loop.advance(33);
    EXPECT_EQ(ticks, 4);
  }
  loop.advance(100);  // a destroyed timer is gone from the loop
  EXPECT_EQ(ticks, 4);
  int runs = 0;
  int key = 0;
  loop.postOnce(&key, [&] { ++runs; });
  loop.postOnce(&key, [&] { ++runs; });
  loop.post([&] { runs += 10; });
  loop.process();
  EXPECT_EQ(runs, 11);
  loop.process();
  EXPECT_EQ(runs, 11);
  loop.useManualClock(false);
}

class MenuOwner : public QRVBaseControl {
 public:
  MenuOwner() : QRVBaseControl(QRVRect{20, 20, 120, 40}, 50, nullptr, kQRVPeerOptionMenu) {}
  QRVEngineOptionMenu* menu() { return static_cast<QRVEngineOptionMenu*>(getPeer()); }
};

TEST(OptionMenu, EntriesOpenAsAPopupAndAClickChooses) {
  GuiHarness h;
  auto* owner = new MenuOwner;
  h.container->addControl(owner);
  QRVEngineOptionMenu* menu = owner->menu();
  ASSERT_NE(menu, nullptr);
  menu->addEntry("Presets", -1, kQRVMenuTitle);
  menu->addEntry("Warm", -1, kQRVMenuPlain);
  menu->addEntry("Hot", -1, kQRVMenuChecked);
  menu->addEntry("First", 1, kQRVMenuPlain);
  EXPECT_EQ(menu->getEntryCount(), 4);
  EXPECT_STREQ(menu->getEntryTitle(1), "First");
  EXPECT_EQ(menu->getEntryTitle(9), nullptr);
  menu->setEntryTitle("Cold", 2);
  EXPECT_STREQ(menu->getEntryTitle(2), "Cold");

  h.click({60, 30});
  auto* view = dynamic_cast<tk::OptionMenu*>(Quarrytone::PeerView(owner));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isOpen());
  // Entries are 18 points high below the control: the title row does not choose.
  h.click({60, 40 + 9});
  EXPECT_TRUE(view->isOpen());
  h.click({60, 40 + 18 * 2 + 9});
  EXPECT_FALSE(view->isOpen());
  EXPECT_EQ(menu->getCurrent(), 2);
  ASSERT_FALSE(h.listener.changes.empty());
  EXPECT_EQ(h.listener.changes.back(), std::make_pair(50, 2.0));
  // A click outside closes without choosing.
  menu->openMenu();
  EXPECT_TRUE(view->isOpen());
  h.click({390, 250});
  EXPECT_FALSE(view->isOpen());
  EXPECT_EQ(menu->getCurrent(), 2);
  EXPECT_TRUE(menu->removeEntry(0));
  EXPECT_FALSE(menu->removeEntry(7));
  EXPECT_EQ(menu->getEntryCount(), 3);
}

TEST(Attributes, HintAndTooltipAreStoredOnThePeerWithTheirTerminatingZero) {
  GuiHarness h;
  auto* knob = new QRVAnimKnob(QRVRect{10, 10, 41, 41}, 3, nullptr, 7);
  knob->setTooltip("Controls the ratio between the attack and release");
  knob->setHint("attack");
  h.container->addControl(knob);
  tk::Control* view = Quarrytone::PeerView(knob);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->getTooltipText(), "Controls the ratio between the attack and release");
  std::size_t size = 0;
  ASSERT_TRUE(view->getAttributeSize(Quarrytone::kHintAttribute, size));
  EXPECT_EQ(size, 7u);
  char buffer[16] = {};
  std::size_t got = 0;
  ASSERT_TRUE(view->getAttribute(Quarrytone::kHintAttribute, sizeof(buffer), buffer, got));
  EXPECT_STREQ(buffer, "attack");
  EXPECT_FALSE(view->getAttribute(Quarrytone::kHintAttribute, 3, buffer, got));  // too small a buffer
  // Texts longer than their buffers are cut.
  std::string longText(2000, 'x');
  knob->setTooltip(longText.c_str());
  EXPECT_EQ(std::strlen(knob->getTooltip()), 511u);
  knob->setHint(longText.c_str());
  EXPECT_EQ(std::strlen(knob->getHint()), 255u);
  knob->setTooltip(nullptr);
  EXPECT_STREQ(knob->getTooltip(), "");
  // The frame shows a tooltip on request, drawn over everything.
  h.frame->showTooltip(tk::Point{50, 50}, "Sets up a valve processing reference level");
  EXPECT_EQ(h.frame->getTooltip(), "Sets up a valve processing reference level");
  h.press({300, 200});
  EXPECT_TRUE(h.frame->getTooltip().empty());
}

TEST(EditorFrame, RemembersTheHeldModifierAndCapturesReturnOnRequest) {
  GuiHarness h;
  h.key(tk::VirtualKey::Shift, kQRVShift);
  EXPECT_EQ(h.frame->heldModifierKey(), 16);
  h.headless->keyUp(tk::KeyEvent{0, tk::VirtualKey::Shift, 0});
  EXPECT_EQ(h.frame->heldModifierKey(), 0);
  h.key(tk::VirtualKey::Alt, kQRVAlt);
  EXPECT_EQ(h.frame->heldModifierKey(), 64);
  EXPECT_FALSE(h.headless->keyDown(tk::KeyEvent{0, tk::VirtualKey::Return, 0}));
  h.frame->setKeyCapture(true);
  EXPECT_TRUE(h.headless->keyDown(tk::KeyEvent{0, tk::VirtualKey::Return, 0}));
  EXPECT_EQ(h.frame->heldModifierKey(), 0);
  // Mouse events leave their buttons for the idle routine.
  h.press({10, 10}, kQRVRButton | kQRVShift);
  EXPECT_EQ(h.frame->storedButtons(), static_cast<std::uint32_t>(kQRVRButton | kQRVShift));
  EXPECT_TRUE(h.frame->takeInputSeen());
  EXPECT_FALSE(h.frame->takeInputSeen());
}

TEST(Redraw, DirtyViewsRepaintAtIdleAndContinuousRedrawKeepsContainersDirty) {
  GuiHarness h;
  h.headless->render();
  EXPECT_TRUE(h.headless->dirtyRect().empty());
  auto* knob = new QRVAnimKnob(QRVRect{10, 10, 41, 41}, 3, nullptr, 7);
  h.container->addControl(knob);
  h.headless->render();
  Quarrytone::PeerView(knob)->setDirty(true);
  h.frame->idle();
  EXPECT_FALSE(h.headless->dirtyRect().empty());
  h.headless->render();
  h.container->setContinuousRedraw(true);
  h.container->setTintColor(QRVColor{10, 10, 10, 10});
  h.headless->render();
  h.frame->idle();
  EXPECT_FALSE(h.headless->dirtyRect().empty());
  h.container->setContinuousRedraw(false);
  h.headless->render();
  h.headless->render();
  EXPECT_TRUE(h.headless->dirtyRect().empty());
}

}  // namespace
}  // namespace qrv::test
