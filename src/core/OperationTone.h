#pragma once

#include <QMetaType>

enum class OperationTone { Error, Info, Success, Warning };

Q_DECLARE_METATYPE(OperationTone)
