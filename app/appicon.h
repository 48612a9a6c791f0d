// The program's icon (window, task bar, tray), drawn rather than shipped.
#pragma once

#include <QIcon>

QIcon ProgramIcon();
