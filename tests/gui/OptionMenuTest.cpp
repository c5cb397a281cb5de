// The customisable option menu on the window's pop-up layer, driven through the frame's own
// event dispatch: opening, picking, closing by a click anywhere else, hover, and its limits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "gui/controls/QRVCustomizableOptionMenu.h"
#include "platform/Utf8.h"
#include "tests/gui/GuiHarness.h"

namespace qrv::test {
namespace {

constexpr int kMenuTag = 60;
constexpr int kBelowTag = 44;
// The owning button, in the product container (window rows start 78 points higher up).
constexpr QRVRect kButton{100, 50, 160, 70};

struct MenuWindow : GuiHarness {
  MenuWindow() {
    // A button under everything: any click that reaches the panel reports its tag.
    below = new QRVKickButton(QRVRect{0, 0, 400, 275}, kBelowTag);
    container->addControl(below);
    handler = new QRVCustomizableOptionMenuPackageHandler(kButton);
    container->addControl(handler);
    handler->createMenu();
    for (int i = 0; i < 11; ++i) handler->getMenu()->addEntry(("Entry " + std::to_string(i)).c_str(), 100 + i);
    handler->setPlacement(8);
    handler->setOffset(QRVPoint{0, 26});
  }
  // Window (frame layout) points; the harness runs at zoom 1.
  void clickWindow(double x, double y, int buttons = kQRVLButton) {
    headless->mouseDown(tk::Point{x, y}, buttons);
    headless->mouseUp(tk::Point{x, y}, buttons);
  }
  void open() { clickWindow(kButton.left + 10, kButton.top + kBarHeight + 10); }
  int reportsOf(int tag) const {
    int n = 0;
    for (const auto& c : listener.changes) n += c.first == tag;
    return n;
  }
  // Window point of the centre of entry i while open.
  QRVPoint entryCentre(int i) const {
    QRVRect p = handler->getPopupRect();
    const QRVRect& e = handler->getMenu()->getEntry(i)->rect;
    return QRVPoint{p.left + (e.left + e.right) / 2, p.top + (e.top + e.bottom) / 2};
  }

  QRVKickButton* below;
  QRVCustomizableOptionMenuPackageHandler* handler;
};

TEST(CustomizableOptionMenu, SetValueSelectsTheNearestEntry) {
  QRVCustomizableOptionMenu list(QRVRect{0, 0, 200, 340}, 7);
  for (int i = 0; i < 11; ++i) list.addEntry("x", i);
  list.setValue(1.0);
  EXPECT_EQ(list.getSelectedIndex(), 10);
  list.setValue(0.46);
  EXPECT_EQ(list.getSelectedIndex(), 5);
  // Entry k spans top + 4 + 20k to top + 4 + 20(k + 1), inset by the 4-point margin.
  EXPECT_DOUBLE_EQ(list.getEntry(3)->rect.top, 64);
  EXPECT_DOUBLE_EQ(list.getEntry(3)->rect.bottom, 84);
  EXPECT_DOUBLE_EQ(list.getEntry(3)->rect.left, 4);
  EXPECT_DOUBLE_EQ(list.getEntry(3)->rect.right, 196);
}

TEST(CustomizableOptionMenu, OpensBelowTheButtonInWindowCoordinatesAndPicksAnEntry) {
  MenuWindow w;
  w.open();
  ASSERT_TRUE(w.handler->isOpen());
  // Placement 8 with offset (0, 26): left edges aligned, the top 27 points below the button's bottom.
  QRVRect p = w.handler->getPopupRect();
  EXPECT_DOUBLE_EQ(p.left, kButton.left);
  EXPECT_DOUBLE_EQ(p.top, kButton.bottom + GuiHarness::kBarHeight + 27);
  EXPECT_DOUBLE_EQ(p.getWidth(), 200);
  EXPECT_DOUBLE_EQ(p.getHeight(), 11 * 20 + 8);
  EXPECT_EQ(w.reportsOf(kBelowTag), 0);

  QRVPoint c = w.entryCentre(4);
  w.clickWindow(c.x, c.y);
  EXPECT_FALSE(w.handler->isOpen());
  ASSERT_EQ(w.reportsOf(kMenuTag), 1);
  EXPECT_DOUBLE_EQ(w.listener.changes.back().second, 0.4);
  EXPECT_EQ(w.handler->getMenu()->getSelectedIndex(), 4);
  EXPECT_EQ(w.reportsOf(kBelowTag), 0);

  // Closed, the panel takes clicks again.
  w.clickWindow(c.x, c.y);
  EXPECT_EQ(w.reportsOf(kBelowTag), 1);
}

TEST(CustomizableOptionMenu, AClickInTheMarginOrOutsideClosesAndReportsTheValueAgain) {
  MenuWindow w;
  w.handler->getMenu()->setValue(0.3);
  w.open();
  QRVRect p = w.handler->getPopupRect();
  // The top margin lies in the list but on no entry.
  w.clickWindow(p.left + 50, p.top + 2);
  EXPECT_FALSE(w.handler->isOpen());
  ASSERT_EQ(w.reportsOf(kMenuTag), 1);
  EXPECT_DOUBLE_EQ(w.listener.changes.back().second, 0.3);

  // Outside: in the panel, and up in the bar rows above it; nothing below hears of either.
  for (QRVPoint at : {QRVPoint{10, 300}, QRVPoint{390, 10}}) {
    w.open();
    ASSERT_TRUE(w.handler->isOpen());
    w.clickWindow(at.x, at.y);
    EXPECT_FALSE(w.handler->isOpen());
  }
  EXPECT_EQ(w.reportsOf(kMenuTag), 3);
  EXPECT_EQ(w.reportsOf(kBelowTag), 0);
  EXPECT_DOUBLE_EQ(w.handler->getMenu()->getValue(), 0.3);
}

TEST(CustomizableOptionMenu, TheCatchersMeetTheListOnEverySide) {
  MenuWindow w;
  w.open();
  QRVRect p = w.handler->getPopupRect();
  // Just outside each edge, where one-point strips between catchers and list would let a click
  // through to the panel while the list stayed open.
  const QRVPoint justOutside[] = {{p.left - 0.5, p.top + 30},
                                  {p.right + 0.25, p.top + 30},
                                  {p.left + 30, p.top - 0.5},
                                  {p.left + 30, p.bottom + 0.25}};
  for (const QRVPoint& at : justOutside) {
    if (!w.handler->isOpen()) w.open();
    w.clickWindow(at.x, at.y);
    EXPECT_FALSE(w.handler->isOpen()) << at.x << ", " << at.y;
  }
  EXPECT_EQ(w.reportsOf(kBelowTag), 0);
  // The four catchers and the list tile the window without overlap or gap.
  w.open();
  double area = p.getWidth() * p.getHeight();
  for (int i = 0; i < 4; ++i) {
    QRVRect r = w.handler->getCatcher(i)->getViewSize();
    area += r.getWidth() * r.getHeight();
  }
  EXPECT_DOUBLE_EQ(area, QRVCustomizableOptionMenuPackageHandler::kCatchWidth *
                             QRVCustomizableOptionMenuPackageHandler::kCatchHeight);
}

TEST(CustomizableOptionMenu, CatchersCoverAWindowLargerThanTheirMinimumArea) {
  GuiHarness h(2400, 1200);
  auto* below = new QRVKickButton(QRVRect{0, 0, 2400, 1200}, kBelowTag);
  h.container->addControl(below);
  auto* handler = new QRVCustomizableOptionMenuPackageHandler(kButton);
  h.container->addControl(handler);
  handler->createMenu();
  handler->getMenu()->addEntry("one", 1);
  handler->getMenu()->addEntry("two", 2);
  h.headless->mouseDown(tk::Point{kButton.left + 5, kButton.top + 83}, kQRVLButton);
  ASSERT_TRUE(handler->isOpen());
  h.headless->mouseDown(tk::Point{2300, 1250}, kQRVLButton);
  EXPECT_FALSE(handler->isOpen());
  for (const auto& c : h.listener.changes) EXPECT_NE(c.first, kBelowTag);
}

TEST(CustomizableOptionMenu, HoverFollowsThePointerAndSkipsInactiveEntries) {
  MenuWindow w;
  w.handler->getMenu()->setEntryInactive(6, true);
  w.open();
  QRVCustomizableOptionMenu* list = w.handler->getMenu();
  QRVPoint c = w.entryCentre(5);
  w.headless->mouseMove(tk::Point{c.x, c.y}, 0);
  EXPECT_EQ(list->getHoveredIndex(), 5);
  c = w.entryCentre(6);
  w.headless->mouseMove(tk::Point{c.x, c.y}, 0);
  EXPECT_EQ(list->getHoveredIndex(), -1);
  c = w.entryCentre(7);
  w.headless->mouseMove(tk::Point{c.x, c.y}, 0);
  EXPECT_EQ(list->getHoveredIndex(), 7);
  // Out onto a catcher: the highlight goes.
  w.headless->mouseMove(tk::Point{5, 5}, 0);
  EXPECT_EQ(list->getHoveredIndex(), -1);
  // An inactive entry cannot be picked: the click closes like one in the margin.
  c = w.entryCentre(6);
  w.headless->mouseMove(tk::Point{c.x, c.y}, 0);
  w.clickWindow(c.x, c.y);
  EXPECT_FALSE(w.handler->isOpen());
  EXPECT_EQ(list->getSelectedIndex(), -1);
}

TEST(CustomizableOptionMenu, AOneEntryListReportsZero) {
  GuiHarness h;
  auto* handler = new QRVCustomizableOptionMenuPackageHandler(kButton);
  h.container->addControl(handler);
  handler->createMenu();
  handler->getMenu()->addEntry("only", 1);
  h.headless->mouseDown(tk::Point{kButton.left + 5, kButton.top + 83}, kQRVLButton);
  ASSERT_TRUE(handler->isOpen());
  QRVRect p = handler->getPopupRect();
  const QRVRect& e = handler->getMenu()->getEntry(0)->rect;
  // Default placement: below the button, right edges aligned for a 200-point list.
  EXPECT_DOUBLE_EQ(p.right, kButton.right);
  EXPECT_DOUBLE_EQ(p.top, kButton.bottom + GuiHarness::kBarHeight + 1);
  h.headless->mouseDown(tk::Point{p.left + e.right - 10, p.top + e.top + 10}, kQRVLButton);
  ASSERT_FALSE(h.listener.changes.empty());
  EXPECT_EQ(h.listener.changes.back().first, kMenuTag);
  EXPECT_EQ(h.listener.changes.back().second, 0.0);
}

TEST(CustomizableOptionMenu, LongTitlesAreCutTo63BytesBetweenCharacters) {
  QRVCustomizableOptionMenu list(QRVRect{0, 0, 200, 340}, 7);
  std::string ascii(100, 'x');
  list.addEntry(ascii.c_str(), 1);
  EXPECT_EQ(std::strlen(list.getEntry(0)->title), 63u);
  // 31 two-byte characters are 62 bytes; the 32nd would straddle byte 63.
  std::string umlauts;
  for (int i = 0; i < 40; ++i) umlauts += "\xC3\xA4";
  list.addEntry(umlauts.c_str(), 2);
  std::string cut = list.getEntry(1)->title;
  EXPECT_EQ(cut.size(), 62u);
  EXPECT_EQ(qrv::utf8::CountChars(cut), 31u);
  EXPECT_EQ(cut, umlauts.substr(0, 62));
}

TEST(CustomizableOptionMenu, EscapeClosesThePopupThroughItsOwner) {
  MenuWindow w;
  w.open();
  ASSERT_TRUE(w.handler->isOpen());
  w.key(tk::VirtualKey::Escape);
  EXPECT_FALSE(w.handler->isOpen());
  // The owner closed it properly: the next click on the button opens it again.
  w.open();
  EXPECT_TRUE(w.handler->isOpen());
  w.open();
  EXPECT_FALSE(w.handler->isOpen());
}

TEST(CustomizableOptionMenu, TagsPassBetweenTheButtonTheListAndTheCatchers) {
  MenuWindow w;
  w.open();
  w.handler->setTag(61);
  EXPECT_EQ(w.handler->getMenu()->getTag(), 61);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w.handler->getCatcher(i)->getTag(), 61);
  w.handler->getMenu()->setTag(62);
  EXPECT_EQ(w.handler->getTag(), 62);
  QRVPoint c = w.entryCentre(2);
  w.clickWindow(c.x, c.y);
  ASSERT_FALSE(w.listener.changes.empty());
  EXPECT_EQ(w.listener.changes.back().first, 62);
}

TEST(CustomizableOptionMenu, DrawsSelectedAndHoveredRows) {
  MenuWindow w;
  w.handler->getMenu()->setValue(0.2);  // entry 2
  w.open();
  QRVPoint hovered = w.entryCentre(5);
  w.headless->mouseMove(tk::Point{hovered.x, hovered.y}, 0);
  w.headless->render();
  QRVRect p = w.handler->getPopupRect();
  const QRVRect& e2 = w.handler->getMenu()->getEntry(2)->rect;
  const QRVRect& e5 = w.handler->getMenu()->getEntry(5)->rect;
  // Inside the selected row, away from its text: the selection colour, opaque.
  tk::Color sel = w.headless->pixel(static_cast<int>(p.left + e2.right - 10), static_cast<int>(p.top + e2.top + 10));
  EXPECT_EQ(sel.r, 50);
  EXPECT_EQ(sel.g, 88);
  EXPECT_EQ(sel.b, 141);
  // The hovered row's outline lies on its edge; its inside shows the list background.
  tk::Color edge = w.headless->pixel(static_cast<int>(p.left + e5.right - 10), static_cast<int>(p.top + e5.top));
  tk::Color inside = w.headless->pixel(static_cast<int>(p.left + e5.right - 10), static_cast<int>(p.top + e5.top + 10));
  EXPECT_GT(edge.r, inside.r + 60);
  EXPECT_GT(edge.b, edge.r);
}

}  // namespace
}  // namespace qrv::test
