' RGB and the engine's identity.
WScript.Echo RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(1, 2, 3), RGB(300, 0, 0), TypeName(RGB(0, 0, 0))
WScript.Echo ScriptEngine, ScriptEngineMajorVersion, ScriptEngineMinorVersion, ScriptEngineBuildVersion > 0
