#pragma once

#include <QIcon>

// The program's icon at the usual sizes; null when its image cannot be drawn.
QIcon ProgramIcon();
