#pragma once

#include <QString>

#include <optional>

/// The signed-in account.
struct APIUser
{
    QString id;
    QString email;
    std::optional<QString> avatarUrl;
    bool operator==(const APIUser &) const = default;
};
