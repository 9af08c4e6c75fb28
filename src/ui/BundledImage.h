#pragma once

#include "platform/ToolFiles.h"

#include <QImage>

// The picture "<name>.<ext>" from the bundle's Resources, read afresh; a null image when the
// resource is missing or cannot be read. A program outside any bundle has none.
QImage bundledImage(const QString &name, const QString &ext, const QString &dataDir = ToolFiles::dataDir());
