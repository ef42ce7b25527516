#pragma once

#include <QString>

// $XDG_CONFIG_HOME/renvolia (~/.config/renvolia when unset): the port setting
// and the ports/comN links live there.
QString renvoliaConfigFolder();

// $XDG_STATE_HOME/renvolia (~/.local/state/renvolia when unset), or
// %LOCALAPPDATA%\Renvolia on Windows: the journal lives there.
QString renvoliaStateFolder();
