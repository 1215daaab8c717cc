// The application's menu bar (shared with the password window) and the
// editor's. One instance each, made on first use.
#pragma once

#include "framework/Menu.h"

#include <memory>

class MenuBar1 : public MenuBar {
public:
    static std::shared_ptr<MenuBar1> Instance();
    void Constructor();
    void Untitled0();
    void Untitled1();
    void Untitled2();
    void Untitled3();
    void Untitled4();

    static std::shared_ptr<MenuBar1> implicitInstance;
    static void Exit();
};

class MenuBar2 : public MenuBar {
public:
    static std::shared_ptr<MenuBar2> Instance();
    void Constructor();
    void Untitled0();
    void Untitled1();
    void Untitled2();
    void Untitled3();
    void Untitled4();

    static std::shared_ptr<MenuBar2> implicitInstance;
    static void Exit();
};
