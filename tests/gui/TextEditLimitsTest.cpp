// The text edit's placeholder and length limit through its peer, lengths in characters, and how
// an edit ends: Return and a lost focus commit, Escape abandons and tells the control.
#include <gtest/gtest.h>

#include <string>

#include "platform/Utf8.h"
#include "tests/gui/GuiHarness.h"

namespace qrv::test {
namespace {

constexpr QRVRect kField{20, 20, 220, 40};

tk::TextEdit* Box(QRVTextEdit* edit) { return dynamic_cast<tk::TextEdit*>(Quarrytone::PeerView(edit)); }

struct CancelWatchingEdit : QRVTextEdit {
  using QRVTextEdit::QRVTextEdit;
  void editCancelled() override { ++cancels; }
  int cancels = 0;
};

TEST(TextEditLimits, ThePeerTakesThePlaceholderAndTheLimitSetBeforeAndAfterItExists) {
  GuiHarness h;
  auto* edit = new QRVTextEdit(kField, 30);
  edit->setPlaceholder("preset name");
  edit->setMaxLength(5);
  h.container->addControl(edit);
  h.click({30, 30});
  h.headless->type("abcdefgh");
  EXPECT_EQ(Box(edit)->getText(), "abcde");
  h.key(tk::VirtualKey::Return);
  EXPECT_STREQ(edit->getText(), "abcde");

  // The limit counts characters, not bytes; a limit set later cuts the text already there.
  edit->setMaxLength(64);
  h.click({30, 30});
  h.key(tk::VirtualKey::Back);
  std::string typed;
  for (int i = 0; i < 70; ++i) typed += "\xC3\xB6";  // o with diaeresis
  h.headless->type(typed);
  h.key(tk::VirtualKey::Return);
  EXPECT_EQ(qrv::utf8::CountChars(edit->getText()), 64u);
  EXPECT_EQ(std::string(edit->getText()), typed.substr(0, 128));
  edit->setMaxLength(3);
  EXPECT_EQ(qrv::utf8::CountChars(Box(edit)->getText()), 3u);
  EXPECT_EQ(std::string(edit->getText()), typed.substr(0, 6));
}

TEST(TextEditLimits, ThePlaceholderShowsOnlyWhileTheFieldIsEmpty) {
  GuiHarness h;
  auto* edit = new QRVTextEdit(kField, 30);
  edit->setFontColor(QRVColor{255, 255, 255, 255});
  h.container->addControl(edit);
  auto litPixels = [&] {
    h.headless->render();
    int lit = 0;
    for (int x = 20; x < 220; ++x)
      for (int y = 98; y < 118; ++y) lit += h.headless->pixel(x, y).a > 0;
    return lit;
  };
  EXPECT_EQ(litPixels(), 0);
  edit->setPlaceholder("preset name");
  EXPECT_GT(litPixels(), 20);
  edit->setText("x");
  int oneLetter = litPixels();
  edit->setText("");
  EXPECT_GT(litPixels(), oneLetter);
}

TEST(TextEditLimits, LosingTheFocusCommitsAndEscapeAbandons) {
  GuiHarness h;
  auto* edit = new CancelWatchingEdit(kField, 30);
  h.container->addControl(edit);
  h.click({30, 30});
  h.headless->type("Bus");
  // A click elsewhere takes the focus away: the text is committed and reported.
  h.click({300, 200});
  EXPECT_EQ(h.frame->getFocusView(), nullptr);
  EXPECT_STREQ(edit->getText(), "Bus");
  ASSERT_EQ(h.listener.changes.size(), 1u);
  EXPECT_EQ(h.listener.changes[0].first, 30);
  EXPECT_EQ(edit->cancels, 0);

  h.click({30, 30});
  h.headless->type("Drums");
  h.key(tk::VirtualKey::Escape);
  EXPECT_STREQ(edit->getText(), "Bus");
  EXPECT_EQ(Box(edit)->getText(), "Bus");
  EXPECT_EQ(h.listener.changes.size(), 1u);
  EXPECT_EQ(edit->cancels, 1);

  h.click({30, 30});
  h.headless->type("Keys");
  h.key(tk::VirtualKey::Return);
  EXPECT_STREQ(edit->getText(), "Keys");
  EXPECT_EQ(h.listener.changes.size(), 2u);
  EXPECT_EQ(edit->cancels, 1);
}

}  // namespace
}  // namespace qrv::test
