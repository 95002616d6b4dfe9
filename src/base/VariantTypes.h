#pragma once

#include <QMetaType>
#include <QVariant>

/// Whether a QVariant holds one of Qt's integer types (not bool, not a floating point).
inline bool isIntegerType(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

/// Whether a QVariant holds an integer or a floating-point number.
inline bool isNumberType(const QVariant &value)
{
    return isIntegerType(value) || value.typeId() == QMetaType::Float
        || value.typeId() == QMetaType::Double;
}
