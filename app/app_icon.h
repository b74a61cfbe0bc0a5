// The application icon (resource 128): a receiver dish under signal bars,
// painted at each of the usual icon sizes.
#pragma once

#include <QIcon>
#include <QPixmap>

QPixmap AppIconPixmap(int size);
QIcon MakeAppIcon();
