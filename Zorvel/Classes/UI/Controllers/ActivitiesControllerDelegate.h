// What the activities screen tells its owner: the user has signed out.
#pragma once

class ActivitiesControllerDelegate
{
public:
    virtual ~ActivitiesControllerDelegate() = default;
    virtual void didLogoutSuccessfully() = 0;
};
