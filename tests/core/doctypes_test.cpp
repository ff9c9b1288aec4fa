#include "zidarodadefs.h"

#include <gtest/gtest.h>

using namespace zj;

TEST(TDocTypeList, HoldsTheFourKindsInOrder)
{
    TDocTypeList list;
    ASSERT_EQ(list.Count(), 4);
    const char* names[] = {"Java", "Html", "Text", "Other"};
    const char* filters[] = {"Java files (*.java)|*.java", "Html files (*.htm, *.html)|*.htm;*.html",
                             "Text files (*.txt)|*.txt", "All files (*.*)|*.*"};
    const char* exts[] = {"java", "html", "txt", ""};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.Strings(i), names[i]);
        ASSERT_NE(list.Objects(i), nullptr);
        EXPECT_EQ(list.Objects(i)->Filter, filters[i]);
        EXPECT_EQ(list.Objects(i)->DefaultExt, exts[i]);
        EXPECT_EQ(list.GetDefaultExt(static_cast<TDocType>(i)), exts[i]);
    }
    EXPECT_EQ(list.GetDefaultExt(static_cast<TDocType>(7)), "");
    list.InitDocTypes();
    list.InitDocTypes();
    EXPECT_EQ(list.Count(), 4);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(TDocTypeList, GetDocTypeMatchesWholeExtensionsInAnyCase)
{
    TDocTypeList list;
    for (const char* ext : {".java", ".JAVA", ".Java", "java"})
        EXPECT_EQ(list.GetDocType(ext), dtJava) << ext;
    for (const char* ext : {".htm", ".html", "HTM", "html", ".HtMl"})
        EXPECT_EQ(list.GetDocType(ext), dtHtml) << ext;
    for (const char* ext : {".txt", "TXT"})
        EXPECT_EQ(list.GetDocType(ext), dtText) << ext;
    for (const char* ext : {".shtml", ".text", "", ".", ".jav", ".java ", "..java", ".j\xc3\xa1va"})
        EXPECT_EQ(list.GetDocType(ext), dtOther) << ext;
}

TEST(TDocTypeList, DialogFilterPutsTheKindFirst)
{
    const std::string java = "Java files (*.java)|*.java", html = "Html files (*.htm, *.html)|*.htm;*.html",
                      text = "Text files (*.txt)|*.txt", all = "All files (*.*)|*.*";
    EXPECT_EQ(TDocTypeList::DialogFilter(dtJava), java + "|" + html + "|" + text + "|" + all);
    EXPECT_EQ(TDocTypeList::DialogFilter(dtHtml), html + "|" + java + "|" + text + "|" + all);
    EXPECT_EQ(TDocTypeList::DialogFilter(dtOther), all + "|" + java + "|" + html + "|" + text);
}
