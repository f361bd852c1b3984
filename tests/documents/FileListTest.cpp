#include "documents/DisplayFile.h"
#include "documents/FileTypes.h"

#include <gtest/gtest.h>

namespace zov {
namespace {

TEST(FileTypes, ExtensionsOfThreeOrFourLettersLowerCased) {
    EXPECT_EQ(Extension(L"a.ppt"), L".ppt");
    EXPECT_EQ(Extension(L"b.docx"), L".docx");
    EXPECT_EQ(Extension(L"c.JPEG"), L".jpeg");
    EXPECT_EQ(Extension(L"d.ai"), L"");
    EXPECT_EQ(Extension(L".pdf"), L"");  // four characters in all
    EXPECT_EQ(Extension(L"archive.tar.gz"), L"");
}

TEST(FileTypes, ClassifyFollowsTheTable) {
    EXPECT_EQ(Classify(L"report.PPTX", false), kFilePresentation);
    EXPECT_EQ(Classify(L"photo.JPG", false), kFileJpeg);
    EXPECT_EQ(Classify(L"archive.jpeg", false), kFileUnknown);
    EXPECT_EQ(Classify(L"a.b", false), kFileUnknown);
    EXPECT_EQ(Classify(L".pdf", false), kFileUnknown);
    EXPECT_EQ(Classify(L"", false), kFileUnknown);
    EXPECT_EQ(Classify(L"http://h/docs/", false), kFileFolder);
    EXPECT_EQ(Classify(L"\\\\srv\\share\\docs\\", false), kFileFolder);
    EXPECT_EQ(Classify(L"scan.tiff", false), kFileTiff);
    EXPECT_EQ(Classify(L"plan.jwc", false), kFileJwCad);
    EXPECT_EQ(Classify(L"book.cvb", false), kFileBook);
    EXPECT_EQ(Classify(L"page.URL", false), kFileWebPage);
    EXPECT_TRUE(IsPlainImage(Classify(L"x.gif", false)));
    EXPECT_FALSE(IsPlainImage(Classify(L"x.pdf", false)));

    // A document key has no extension; only eValueNS mode knows it as one.
    EXPECT_EQ(Classify(L"0123456789ABCDEF", true), kFileDocumentKey);
    EXPECT_EQ(Classify(L"key.pdf", true), kFilePdf);
    EXPECT_EQ(Classify(L"0123456789ABCDEF", false), kFileUnknown);
}

TEST(ListSplitting, ItemsOfTwoOrMoreCharactersInOrder) {
    EXPECT_EQ(SplitList(L"a<<b.pdf>c.txt", kAngleSeparators), (std::vector<std::wstring>{L"b.pdf", L"c.txt"}));
    EXPECT_EQ(SplitList(L"<x.pdf><y.doc>", kAngleSeparators), SplitList(L"x.pdf\ny.doc\n", kAngleSeparators));
    EXPECT_EQ(SplitList(L"<\r\n\t>", kAngleSeparators), std::vector<std::wstring>{});
    EXPECT_EQ(SplitList(L"a.pdf|b|cc.doc|", kBarSeparators), (std::vector<std::wstring>{L"a.pdf", L"cc.doc"}));
    EXPECT_EQ(SplitList(L"k1/k2//k3", kSlashSeparators), (std::vector<std::wstring>{L"k1", L"k2", L"k3"}));
}

TEST(ListSplitting, TheTokenizerKeepsEmptyItemsForLockStep) {
    ListTokenizer tokens(L"a//bc/", kSlashSeparators);
    std::vector<std::wstring> items;
    while (auto item = tokens.Next())
        items.push_back(*item);
    EXPECT_EQ(items, (std::vector<std::wstring>{L"a", L"", L"bc"}));
    EXPECT_TRUE(tokens.Done());
}

}  // namespace
}  // namespace zov
