#pragma once

#include "ExplorerClip.h"
#include "InstrumentNodes.h"
#include "NodeData.h"
#include "NodeImages.h"

#include "ftp/FtpSettings.h"
#include "instrument/ComInstrument.h"
#include "instrument/ComSettings.h"

#include <QTreeWidget>

// The explorer's single tree: the handheld's files under "MyComputer", the
// instrument under "Port1:" and the FTP server under "FTP". It owns the state
// of a run and carries out the menu commands on the selected node.
class CTessaroView : public QTreeWidget
{
    Q_OBJECT

public:
    explicit CTessaroView(QWidget* parent = nullptr);
    ~CTessaroView() override;

    // Builds the image list and the three roots, and lists the top level of
    // the handheld's file system below "MyComputer".
    void OnInitialUpdate();

    QString NodePath(const QTreeWidgetItem* node) const;
    void DeleteChildren(QTreeWidgetItem* node);
    int ListLocalFolder(QTreeWidgetItem* node, const QString& path);

    QTreeWidgetItem* PortRoot() const { return m_pPortRoot; }
    QTreeWidgetItem* FtpRoot() const { return m_pFtpRoot; }
    QTreeWidgetItem* MyComputerRoot() const { return m_pMyComputer; }
    const CNodeImages& Images() const { return m_images; }

    bool IsCommandEnabled(int id) const;
    void OnCommand(int id);

    // The instrument subtree.
    void ConnectInstrument();
    bool BuildJobNodes(QTreeWidgetItem* node, bool withFolder);
    bool BuildFormatNodes(QTreeWidgetItem* node, bool withFolder);
    bool BuildCodeListNodes(QTreeWidgetItem* node, bool withFolder);
    void BuildInstrumentTree(QTreeWidgetItem* portNode);

    CComInstrument& Instrument() { return m_instrument; }
    const CExplorerClip& Clip() const { return m_clip; }
    bool InstrumentConnected() const { return m_bInstrumentConnected != 0; }

    // Child labels of a node, in order (for tests and diagnostics).
    static QStringList ChildLabels(const QTreeWidgetItem* node);

signals:
    // A command's enabled state may have changed.
    void CommandStateChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private slots:
    void OnItemExpanding(QTreeWidgetItem* node);

private:
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& label, int image, const CNodeData& data);
    QTreeWidgetItem* AddPlaceholder(QTreeWidgetItem* parent, bool remote);
    void AddTemplates(QTreeWidgetItem* parent, const QList<CNodeTemplate>& templates);
    QTreeWidgetItem* AddFolderNode(QTreeWidgetItem* node, bool withFolder, int labelId, int image,
                                   const CNodeData& data);
    void RelistLocal(QTreeWidgetItem* node);
    void RebuildJobs(QTreeWidgetItem* jobsFolder);
    void RebuildFormats(QTreeWidgetItem* formatsFolder);
    void RebuildCodeLists(QTreeWidgetItem* codesFolder);
    QTreeWidgetItem* JobsFolderOf(QTreeWidgetItem* node) const;

    bool CanRefresh(const CNodeData& data) const;
    bool CanDelete(const CNodeData& data) const;
    bool CanCopy(const CNodeData& data) const;
    bool CanPaste(const CNodeData& target) const;
    void OnRefresh();
    void OnDelete();
    void OnCopy();
    void OnPaste();
    void SendToInstrument(const QString& nativeFile, const QString& sourceName, QTreeWidgetItem* target);
    void OnFtpSettings();
    void OnCommunicationSettings();
    void OnAbout();

    CExplorerClip m_clip;
    CFtpSettings m_ftpSettings;
    CComSettings m_comSettings;
    int m_bInstrumentConnected = 0;
    CComInstrument m_instrument;
    CNodeImages m_images;

    QTreeWidgetItem* m_pPortRoot = nullptr;
    QTreeWidgetItem* m_pFtpRoot = nullptr;
    QTreeWidgetItem* m_pMyComputer = nullptr;
};
