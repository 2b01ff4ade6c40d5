#include "explorer/ExplorerClip.h"
#include "explorer/FtpNodes.h"
#include "explorer/NodeImages.h"
#include "explorer/PasteRules.h"

#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <map>

using namespace Qt::StringLiterals;

namespace {

struct CTarget
{
    const char* m_szName;
    CNodeData m_data;
    quint32 m_nCopied; // what Copy takes from it, 0 for nothing
};

// Every kind of node in the tree, instrument nodes with and without data.
const CTarget kNodes[] = {
    {"MyComputer", {NK_NONE, 0, false}, 0},
    {"local folder", {NK_LOCAL_FOLDER, 0, false}, NK_LOCAL_FOLDER},
    {"local file", {NK_LOCAL_FILE, 0, false}, CK_LOCAL_FILE},
    {"FTP or remote folder", {NK_FTP_FOLDER, 0, false}, NK_FTP_FOLDER},
    {"remote file", {NK_FTP_FILE, 0, false}, NK_FTP_FILE},
    {"Port1:", {NK_PORT, 0, false}, 0},
    {"Jobs", {NK_JOBS, 0, false}, 0},
    {"job", {NK_JOB, 3, true}, 0},
    {"empty job", {NK_JOB, 4, false}, 0},
    {"fix points", {NK_FIXPOINTS, 3, true}, NK_FIXPOINTS},
    {"no fix points", {NK_FIXPOINTS, 4, false}, 0},
    {"measurements", {NK_MEASUREMENTS, 3, true}, NK_MEASUREMENTS},
    {"one measurement block", {NK_MEASUREMENTS, 4, false}, 0},
    {"Formats", {NK_FORMATS, 0, false}, 0},
    {"format", {NK_FORMAT, 2, true}, 0},
    {"unused format", {NK_FORMAT, 3, false}, 0},
    {"Codes", {NK_CODES, 0, false}, 0},
    {"code list", {NK_CODELIST, 1, true}, NK_CODELIST},
    {"empty code list", {NK_CODELIST, 2, false}, 0},
    // Job 64 packs into 0x8440, which holds the fix-points bit.
    {"job 64 (number on the kind bits)", {NK_JOB, 64, true}, 0},
};

} // namespace

// Kind, number and data mark come back from a tree item, kept apart from the
// word they pack into (job 64 stays a job).
TEST(NodeData, EveryKindOfNodeIsReadBackFromItsItem)
{
    for (const CTarget& node : kNodes) {
        QTreeWidgetItem item;
        node.m_data.Store(&item);
        const CNodeData back = CNodeData::Of(&item);
        EXPECT_EQ(std::tuple(back.m_nKind, back.m_nNumber, back.m_bHasData),
                  std::tuple(node.m_data.m_nKind, node.m_data.m_nNumber, node.m_data.m_bHasData))
            << node.m_szName;
    }
}

// What Copy takes from each node, and the whole matrix of source kinds and
// target nodes: the rows below are the only pastes there are, every other
// pair is refused.
TEST(PasteRules, CopyAndEveryPairOfSourceAndTargetHaveOneAction)
{
    for (const CTarget& node : kNodes)
        EXPECT_EQ(CopySourceKind(node.m_data), node.m_nCopied) << node.m_szName;
    const quint32 sources[] = {0,           CK_LOCAL_FILE, NK_LOCAL_FOLDER, NK_FTP_FOLDER,
                               NK_FTP_FILE, NK_FIXPOINTS,  NK_MEASUREMENTS, NK_CODELIST};
    std::map<std::pair<quint32, std::string>, EPasteAction> allowed = {
        {{NK_LOCAL_FOLDER, "FTP or remote folder"}, PA_UPLOAD_FOLDER},
        {{NK_FTP_FOLDER, "local folder"}, PA_DOWNLOAD_FOLDER},
        {{NK_MEASUREMENTS, "local folder"}, PA_RECEIVE_TO_FOLDER},
        {{NK_FIXPOINTS, "local folder"}, PA_RECEIVE_TO_FOLDER},
        {{NK_CODELIST, "local folder"}, PA_RECEIVE_TO_FOLDER},
        {{NK_MEASUREMENTS, "FTP or remote folder"}, PA_RECEIVE_TO_SERVER},
        {{NK_FIXPOINTS, "FTP or remote folder"}, PA_RECEIVE_TO_SERVER},
        {{NK_CODELIST, "FTP or remote folder"}, PA_RECEIVE_TO_SERVER},
        {{NK_FTP_FILE, "local folder"}, PA_DOWNLOAD_FILE},
        {{CK_LOCAL_FILE, "FTP or remote folder"}, PA_UPLOAD_FILE},
    };
    // A file goes onto a job, fix points, a code list or a format, whether
    // or not the slot holds data; never onto the folder "Formats".
    for (const char* target : {"job", "empty job", "fix points", "no fix points", "format", "unused format",
                               "code list", "empty code list", "job 64 (number on the kind bits)"}) {
        allowed[{CK_LOCAL_FILE, target}] = PA_SEND_FILE;
        allowed[{NK_FTP_FILE, target}] = PA_DOWNLOAD_TO_INSTRUMENT;
    }
    for (const quint32 source : sources) {
        for (const CTarget& target : kNodes) {
            const auto it = allowed.find({source, target.m_szName});
            const EPasteAction expected = it == allowed.end() ? PA_NONE : it->second;
            EXPECT_EQ(PasteAction(source, target.m_data), expected)
                << "source 0x" << std::hex << source << " onto " << target.m_szName;
        }
    }
}

TEST(FtpNodes, ListingGivesFoldersFirstAndOnlyPlainNamesCarryAKind)
{
    // A pyftpdlib listing, with names a hostile server might send.
    const QByteArray listing = "-rw-r--r--   1 root     root           22 Dec 06 21:16 A1.VRN\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:16 Jobs 2024\r\n"
                               "-rw-r--r--   1 root     root            0 Dec 06 21:16 ...\r\n"
                               "-rw-r--r--   1 root     root            0 Dec 06 21:16 a\\b.txt\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:16 up/..\r\n"
                               "-rw-r--r--   1 root     root            0 Dec 06 21:16 ..\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:16 .\r\n"
                               "drwxr-xr-x   2 root     root         4096 Dec 06 21:16 .hidden\r\n"
                               "-rw-r--r--   1 root     root            9 Dec 06 21:16 no line end";
    struct Row
    {
        QString m_strLabel;
        int m_nImage;
        quint32 m_nKind;
        int m_nChildren;
    };
    const Row expected[] = {
        {u"Jobs 2024"_s, CNodeImages::IMG_FOLDER, NK_FTP_FOLDER, 1},
        {u"up/.."_s, CNodeImages::IMG_FOLDER, NK_NONE, 0},
        {u".hidden"_s, CNodeImages::IMG_FOLDER, NK_FTP_FOLDER, 1},
        {u"A1.VRN"_s, CNodeImages::IMG_FILE, NK_FTP_FILE, 0},
        {u"..."_s, CNodeImages::IMG_FILE, NK_FTP_FILE, 0},
        {u"a\\b.txt"_s, CNodeImages::IMG_FILE, NK_NONE, 0},
        {u".."_s, CNodeImages::IMG_FILE, NK_NONE, 0},
    };
    const QList<CNodeTemplate> nodes = FtpNodes(ParseFtpListing(listing));
    ASSERT_EQ(nodes.size(), std::size(expected));
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const CNodeTemplate& node = nodes.at(i);
        EXPECT_EQ(node.m_strLabel, expected[i].m_strLabel);
        EXPECT_EQ(node.m_nImage, expected[i].m_nImage) << node.m_strLabel.toStdString();
        EXPECT_EQ(node.m_data.Word(), expected[i].m_nKind) << node.m_strLabel.toStdString();
        ASSERT_EQ(node.m_children.size(), expected[i].m_nChildren) << node.m_strLabel.toStdString();
        for (const CNodeTemplate& child : node.m_children) {
            EXPECT_EQ(child.m_strLabel, u"..."_s);
            EXPECT_EQ(child.m_nImage, CNodeImages::IMG_FILE);
            EXPECT_EQ(child.m_data.Word(), 0u);
        }
    }
}

// Only names whose characters all fit in 8 bits, without line breaks, are sent.
TEST(FtpNodes, NamesThatReachTheServerUnchanged)
{
    const std::pair<QString, bool> names[] = {
        {u"A1.VRN"_s, true},
        {u"caf\u00e9 \u00ff.txt"_s, true},      // 8-bit characters go as they are
        {u"a\u010Ab"_s, false},                 // low 8 bits 0x0A: a line feed on the wire
        {u"a\u0100b"_s, false},                 // low 8 bits 0x00
        {u"\u0395\u03c1\u03b3\u03bf"_s, false}, // would arrive as other bytes
        {u"a\rb"_s, false},
        {u"line\n"_s, false},
    };
    for (const auto& [name, sendable] : names)
        EXPECT_EQ(IsFtpSendableName(name), sendable) << name.toStdString();
}
