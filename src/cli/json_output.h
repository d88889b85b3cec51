#pragma once

// The --json shapes of the engine's answers, and the words wingstow-cli
// uses for what became of an item; the text lines stay with the commands.

#include <QJsonObject>

#include <string>

#include "install/install_command.h"
#include "install/plan.h"
#include "install/verify.h"
#include "packages/unzip.h"

namespace wingstow::cli {

// "unzipped", "already unzipped", "failed", "cancelled".
const char* result_name(UnzipResult result);
// "installed", "incomplete", "not installed".
const char* result_name(InstallResult result);

// The plan's fields, set in json.
void add_plan(QJsonObject& json, const InstallPlan& plan);

// One path that owner was asked about.
QJsonObject owner_json(const OwnerAnswer& answer);

// One package that verify compared.
QJsonObject verify_json(const std::string& record, const VerifyResult& result);

}  // namespace wingstow::cli
