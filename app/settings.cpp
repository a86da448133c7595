#include "app/settings.h"

SettingsRecord Settings;
