#pragma once

#include <QString>

// $XDG_CONFIG_HOME/renvolia (~/.config/renvolia when unset): the port setting
// and the ports/comN links live there.
QString renvoliaConfigFolder();
