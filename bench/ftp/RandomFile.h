#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <random>

// Writes a file of size random bytes, the same ones for the same seed: the
// big file the transfer benchmarks move.
inline bool MakeRandomFile(const QString& path, qint64 size, quint64 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::mt19937_64 generator(seed);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 done = 0; done < size; done += block.size()) {
        auto* words = reinterpret_cast<quint64*>(block.data());
        for (qsizetype i = 0; i < block.size() / 8; ++i)
            words[i] = generator();
        if (file.write(block.constData(), qMin<qint64>(block.size(), size - done)) < 0)
            return false;
    }
    return true;
}
