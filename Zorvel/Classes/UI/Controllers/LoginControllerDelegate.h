// What the login screen tells its owner: one event, a completed sign-in
// (the token is already stored when it is told).
#pragma once

class LoginControllerDelegate
{
public:
    virtual ~LoginControllerDelegate() = default;
    virtual void didLoginSuccessfully() = 0;
};
