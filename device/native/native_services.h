// The device object's services in a native program: the built-in locator,
// the static builds of both algorithm modules, recorders for prompts and
// warnings. The cameras come from the caller (scene cameras).
#pragma once

#include "device/device_services.h"
#include "device/testing/recorders.h"

DeviceServices NativeDeviceServices(std::function<std::unique_ptr<IEyeCamera>()> createCamera,
                                    std::function<std::shared_ptr<IGraphEvents>()> graphEvents,
                                    CPromptRecorder* prompts, CWarningRecorder* warning);
