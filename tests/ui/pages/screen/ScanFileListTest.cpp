#include "support/SimRootFixture.h"

#include "ui/pages/screen/ScanFileList.h"

#include <QDir>
#include <QFile>

namespace kel::test {
namespace {

class ScanFileListTest : public SimRootFixture {
protected:
    void files(const char* folder, int count, const char* suffix = "qjfile")
    {
        const QString dir = QString::fromStdString(hostPath(folder));
        QDir().mkpath(dir);
        for (int i = 0; i < count; ++i) {
            QFile f(QStringLiteral("%1/f%2.%3").arg(dir).arg(i, 3, 10, QLatin1Char('0')).arg(suffix));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }
};

TEST_F(ScanFileListTest, PagesOfThree)
{
    struct Case {
        int total;
        int lastPage;
        int onLastPage;
    };
    for (const Case c : {Case{0, 0, 0}, Case{3, 0, 3}, Case{4, 1, 1}, Case{6, 1, 3}, Case{7, 2, 1}}) {
        QDir(QString::fromStdString(hostPath("/data/smartmapping"))).removeRecursively();
        files("/data/smartmapping", c.total);
        ScanFileList list;
        list.rebuild();
        EXPECT_EQ(list.count(), c.total);
        EXPECT_EQ(list.lastPage(), c.lastPage) << c.total;
        EXPECT_EQ(list.filesOnPage(c.lastPage), c.onLastPage) << c.total;
        EXPECT_EQ(list.filesOnPage(c.lastPage + 1), 0);
    }
}

TEST_F(ScanFileListTest, StoredFilesFirstOnlyExactSuffixAtMostAHundred)
{
    files("/data/smartmapping", 99);
    files("/data/smartmapping", 2, "QJFILE");
    files("/mnt/usb1", 3);
    ScanFileList list;
    list.rebuild();
    EXPECT_EQ(list.count(), 100);
    EXPECT_EQ(list.storedCount(), 99);
    EXPECT_EQ(list.paths().front(), "/data/smartmapping/f000.qjfile");
    EXPECT_EQ(list.paths().back(), "/mnt/usb1/f000.qjfile");
    EXPECT_FALSE(list.isStored(99));
}

TEST_F(ScanFileListTest, NamesAndTheFilesALoadMayOpen)
{
    files("/data/smartmapping", 1);
    files("/mnt/usb1", 1);
    QDir().mkpath(QString::fromStdString(hostPath("/mnt/usb1/sub")));
    EXPECT_EQ(ScanFileList::shownName("/mnt/usb1/a\nb.qjfile"), "ab.qjfile");
    EXPECT_EQ(ScanFileList::shownName("/x/y"), "");
    struct Case {
        const char* path;
        bool allowed;
    };
    for (const Case c : {Case{"/data/smartmapping/f000.qjfile", true}, Case{"/mnt/usb1/f000.qjfile", true},
                         Case{"/mnt/usb1/missing.qjfile", false}, Case{"/mnt/usb1/sub", false},
                         Case{"/data/smartmapping/../smartmapping/f000.qjfile", false},
                         Case{"/mnt/usb1//f000.qjfile", false},
                         Case{"/data/rcvrecovery/f000.qjfile", false}, Case{"", false}})
        EXPECT_EQ(ScanFileList::isScanFile(QString::fromLatin1(c.path)), c.allowed) << c.path;
}

} // namespace
} // namespace kel::test
