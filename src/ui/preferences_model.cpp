#include "ui/preferences_model.h"

#include <string_view>

namespace tessarin {

PreferencesModel::PreferencesModel(QObject* parent) : QObject(parent) {}

void PreferencesModel::Set(Preference preference, bool on) {
    bool& flag = on_[Index(preference)];
    if (flag == on) return;
    flag = on;
    emit changed(preference, on);
}

void PreferencesModel::Load(const ProfileDocument& mainFile) {
    for (const PreferenceKey& key : PreferenceKeys())
        Set(key.preference, ReadPreference(mainFile, key.preference));
}

bool PreferencesModel::IsViewPreference(Preference preference) {
    return std::string_view(KeyOf(preference).section) == "VIEW";
}

}  // namespace tessarin
