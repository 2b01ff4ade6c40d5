#pragma once

#include <QIcon>
#include <QList>

// The node image list: 17 images, drawn as SVG so that they stay crisp at
// 16 px and on high-density screens. Every image shows the blue selection
// dot (image 0) while its node is selected.
class CNodeImages
{
public:
    enum EImage {
        IMG_SELECTED = 0,
        IMG_FOLDER = 1,
        IMG_FOLDER_OPEN = 2,
        IMG_MY_COMPUTER = 3,
        IMG_FILE = 4,
        IMG_PORT = 5,
        IMG_WINDOW = 6,
        IMG_FILE_ERROR = 7,
        IMG_FTP = 8,
        IMG_CODES = 9,
        IMG_CODELIST = 10,
        IMG_FORMATS = 11,
        IMG_FORMAT = 12,
        IMG_JOBS = 13,
        IMG_JOB = 14,
        IMG_FIXPOINTS = 15,
        IMG_MEASUREMENTS = 16,
        IMG_COUNT = 17
    };

    void Build();
    bool IsBuilt() const { return !m_icons.isEmpty(); }
    QIcon Icon(int index) const;

    static QString FileName(int index);
    static void InitResources();

private:
    QList<QIcon> m_icons;
};
