#pragma once
// The OPTION and VIEW flags as they are while the window runs. The menu's
// check marks are set from here and the viewer draws by it; commands change
// a flag here and write it to the main settings file themselves.

#include <QObject>
#include <array>

#include "platform/profile.h"
#include "settings/app_preferences.h"

namespace tessarin {

class PreferencesModel : public QObject {
    Q_OBJECT

  public:
    // Every flag off until Load().
    explicit PreferencesModel(QObject* parent = nullptr);

    bool On(Preference preference) const { return on_[Index(preference)]; }
    // changed() follows only when the flag takes a new value.
    void Set(Preference preference, bool on);
    // Every flag as the main settings file holds it, its default when missing.
    void Load(const ProfileDocument& mainFile);

    // Whether the viewer draws by the flag (its section is VIEW).
    static bool IsViewPreference(Preference preference);

  signals:
    void changed(Preference preference, bool on);

  private:
    static size_t Index(Preference preference) { return static_cast<size_t>(preference); }

    std::array<bool, kPreferenceCount> on_{};
};

}  // namespace tessarin
