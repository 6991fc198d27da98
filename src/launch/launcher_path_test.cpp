#include "launch/launcher_path.h"

#include <gtest/gtest.h>

TEST(IsAbsolutePath, NeedsADriveAndSeparatorOrTwoSeparators) {
  for (const char16_t* path : {u"C:\\Prod\\viewer.exe", u"c:/Prod/viewer.exe", u"C:\\",
                               u"\\\\server\\share\\viewer.exe", u"\\\\?\\C:\\viewer.exe",
                               u"//server/share/viewer.exe"}) {
    EXPECT_TRUE(IsAbsolutePath(path)) << testing::PrintToString(WideText(path));
  }
  for (const char16_t* path : {u"bin\\viewer.exe", u".\\viewer.exe", u"..\\bin\\viewer.exe",
                               u"\\bin\\viewer.exe", u"C:bin\\viewer.exe", u"viewer.exe",
                               u"C:", u" C:\\viewer.exe", u""}) {
    EXPECT_FALSE(IsAbsolutePath(path)) << testing::PrintToString(WideText(path));
  }
}

TEST(HasShortNameForm, EightUnitsThenThreeWithATilde) {
  for (const char16_t* name :
       {u"VIEW~1JR.EXE", u"VIEWER~1.EXE", u"A~1.B", u"PROGRA~1", u"\u00C9T~1.EXE"}) {
    EXPECT_TRUE(HasShortNameForm(name)) << testing::PrintToString(WideText(name));
  }
  for (const char16_t* name : {u"viewer.exe", u"viewer-tool.exe", u"view~er tool.exe", u"a~1.b.exe",
                               u"viewer~1.exex", u".~1", u"viewer~.", u"12345~789", u""}) {
    EXPECT_FALSE(HasShortNameForm(name)) << testing::PrintToString(WideText(name));
  }
}
