#pragma once

// File texts shared by the map file tests.

#include "common/SampleMaps.h"

#include <QByteArray>
#include <QFile>
#include <QString>

inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Replaces the text of point `index` (from 0) of the map whose point elements
// are named `pointName`.
inline QByteArray WithPointText(QByteArray xml, const QByteArray& pointName, int index,
                                const QByteArray& text)
{
    const QByteArray open = "<" + pointName + " ";
    qsizetype pos = -1;
    for (int i = 0; i <= index; ++i)
        pos = xml.indexOf(open, pos + 1);
    const qsizetype start = xml.indexOf('>', pos) + 1;
    const qsizetype end = xml.indexOf("</" + pointName + ">", start);
    return xml.replace(start, end - start, text);
}

// The whole element of point `index` of the map whose points are `pointName`.
inline QByteArray PointElement(const QByteArray& xml, const QByteArray& pointName, int index)
{
    const QByteArray open = "<" + pointName + " ";
    const QByteArray close = "</" + pointName + ">";
    qsizetype pos = -1;
    for (int i = 0; i <= index; ++i)
        pos = xml.indexOf(open, pos + 1);
    const qsizetype end = xml.indexOf(close, pos) + close.size();
    return xml.mid(pos, end - pos);
}

// The whole element `name` (first occurrence, no nesting of the same name).
inline QByteArray Element(const QByteArray& xml, const QByteArray& name)
{
    const qsizetype pos = xml.indexOf("<" + name);
    const QByteArray close = "</" + name + ">";
    const qsizetype end = xml.indexOf(close, pos) + close.size();
    return xml.mid(pos, end - pos);
}
