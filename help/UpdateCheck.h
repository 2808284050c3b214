#pragma once
// The update check against BaseUrl + "Update.xml".
class UpdateCheck
{
public:
};
